#pragma once
// The XML document holder: one parsed document at a time, read by element path.
#include <memory>
#include <string>

namespace platform {

class XmlDocument {
public:
  XmlDocument();
  ~XmlDocument();
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;

  // Discards the held document, then parses `bytes`. On failure (empty bytes,
  // bad XML) the holder stays empty. Bytes are kept as they are, so GBK names
  // and values match and come back byte for byte.
  bool load(const std::string& bytes);
  void clear();
  bool holdsDocument() const;

  // `path` is element names joined by "/": the first is the root's name, each
  // further one the first child of that name. Empty text when the holder is
  // empty, the path leads nowhere or the attribute is missing.
  std::string attribute(const std::string& path, const std::string& name) const;

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

} // namespace platform
