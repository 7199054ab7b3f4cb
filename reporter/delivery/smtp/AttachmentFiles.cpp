#include "reporter/delivery/smtp/AttachmentFiles.h"

#include "reporter/ui/ProgressAlert.h"

namespace ruvex {

bool OpenAttachmentFiles(IProgressAlert* progress, const TCaptionOf& caption, const std::vector<std::u16string>& paths,
                         bool mxLookup, bool mailing, kelvane::IFileSystem& files, TAttachmentSet& set) {
  const auto area = [&](std::u16string_view name, std::uint64_t weight) {
    if (progress) progress->AddArea(caption ? caption(name) : std::u16string(name), weight);
  };
  if (progress) progress->ClearAreas();
  area(u"PrepAttMsg", 500);
  if (mxLookup) area(u"MxLookMsg", 500);
  if (mailing) {
    area(u"ConnMsg", 500);
    area(u"SendMailMsg", 100);
  } else {
    area(u"ConnMsg", 5000);
  }
  set = {};
  for (const auto& path : paths) {
    auto file = files.OpenRead(path);
    if (file) {
      area(u"SendAttMsg", AttachmentWeight(file->Size()));
      ++set.opened;
    }
    set.files.push_back(std::move(file));
  }
  area(u"SendFinalMsg", 1000);
  if (progress) progress->AreaDone();
  return set.opened > 0 || paths.empty();
}

}  // namespace ruvex
