#include "xml_document.h"

#include <pugixml.hpp>

namespace platform {

struct XmlDocument::Impl {
  pugi::xml_document document;
  bool loaded = false;
};

XmlDocument::XmlDocument() : impl_(std::make_unique<Impl>()) {}
XmlDocument::~XmlDocument() = default;

bool XmlDocument::load(const std::string& bytes) {
  clear();
  if (bytes.empty()) return false;
  // Declared as UTF-8 so that pugixml passes GBK bytes through untouched
  // (its own detection would convert a non-UTF declaration as Latin-1).
  pugi::xml_parse_result result =
      impl_->document.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_utf8);
  if (!result || !impl_->document.document_element()) {
    impl_->document.reset();
    return false;
  }
  impl_->loaded = true;
  return true;
}

void XmlDocument::clear() {
  impl_->document.reset();
  impl_->loaded = false;
}

bool XmlDocument::holdsDocument() const { return impl_->loaded; }

std::string XmlDocument::attribute(const std::string& path, const std::string& name) const {
  if (!impl_->loaded) return {};
  pugi::xml_node node = impl_->document;
  size_t start = 0;
  bool first = true;
  while (start <= path.size()) {
    size_t slash = path.find('/', start);
    std::string element = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    if (first) {
      node = impl_->document.document_element();
      if (element != node.name()) return {};
      first = false;
    } else {
      node = node.child(element.c_str());
      if (!node) return {};
    }
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  pugi::xml_attribute attr = node.attribute(name.c_str());
  return attr ? std::string(attr.value()) : std::string();
}

} // namespace platform
