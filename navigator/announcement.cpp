// The announcement poll: every tick of 时钟1 reads the announcement manifest.
#include "navigator/announcement.h"

#include "navigator/manifest.h"
#include "navigator/service_host.h"
#include "platform/http_reader.h"
#include "platform/text.h"

void pollAnnouncement() {
  loadManifest(platform::HttpReader().read(serviceAddress("/gx/gg.xml")));
  double version = platform::textToNumber(readManifestValue("最新版本/版本信息", "版本号"));
  if (platform::exceedsNoticeably(version, 1)) loadAnnouncementPopup();
}
