#include "reporter/delivery/http/upload/CustomScriptPost.h"

#include <cctype>
#include <random>

#include "common/text/Utf.h"
#include "reporter/delivery/mime/Base64.h"
#include "reporter/delivery/mime/MailText.h"
#include "reporter/ui/ProgressAlert.h"

namespace ruvex {
namespace {

using kelvane::Utf16ToUtf8;

std::string Delimiter(std::string_view boundary) { return "\r\n--" + std::string(boundary) + "\r\n"; }

// Whether a file holds the delimiter line's "--boundary", read once in
// blocks that overlap by the text's length; the file is rewound after.
bool FileHolds(kelvane::IFileReader& file, const std::string& text) {
  std::string window;
  char block[65536];
  bool found = false;
  for (std::size_t n; !found && (n = file.Read(block, sizeof block)) > 0;) {
    window.append(block, n);
    found = window.find(text) != std::string::npos;
    if (window.size() > text.size()) window.erase(0, window.size() - text.size());
  }
  file.Rewind();
  return found;
}

std::string RandomSuffix() {
  std::random_device source;
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string suffix = "_";
  for (int i = 0; i < 16; ++i) suffix.push_back(kDigits[source() & 15]);
  return suffix;
}

bool IsMailField(std::u16string_view name) { return name == u"MailFrom" || name == u"MailAddr"; }

std::u16string BareAddress(const std::u16string& content, bool alwaysUtf8) {
  const std::optional<std::string> formatted = FormatMailAddress(content, false, alwaysUtf8);
  if (!formatted) return content;
  std::string bare;
  for (char c : *formatted)
    if (c != '<' && c != '>') bare.push_back(c);
  return kelvane::Utf8ToUtf16(bare);
}

// A name that could end its quoted header value goes as an encoded word.
std::string FieldNameText(const std::u16string& name, bool alwaysUtf8) {
  const bool plain = !alwaysUtf8 && IsLatin1Text(name) && name.find_first_of(u"\"\r\n\\") == std::u16string::npos;
  return plain ? ToLatin1(name) : "=?UTF-8?B?" + Base64(Utf16ToUtf8(name)) + "?=";
}

// File names keep to one quoted header value: quotes and controls become "_".
std::string FileNameText(const std::u16string& name) {
  std::u16string safe = name;
  for (char16_t& c : safe)
    if (c < 32 || c == u'"' || c == u'\\' || c == 127) c = u'_';
  return IsLatin1Text(safe) ? ToLatin1(safe) : Utf16ToUtf8(safe);
}

std::string FilePartHead(const TPostFile& file, std::string_view boundary) {
  return Delimiter(boundary) + "Content-Disposition: form-data; name=\"" + FieldNameText(file.fieldName, false) +
         "\"; filename=\"" + FileNameText(file.sendAsName) + "\"\r\nContent-Type: application/octet-stream\r\n\r\n";
}

std::string Closing(std::string_view boundary) { return "\r\n--" + std::string(boundary) + "--\r\n"; }

}  // namespace

std::string MultipartBoundary(const std::vector<TPostFile>& files) {
  std::string boundary = kMultipartBoundary;
  // A few tries: a random suffix that occurs as well is all but impossible.
  for (int attempt = 0; attempt < 4; ++attempt) {
    bool clash = false;
    for (const TPostFile& file : files)
      if (file.file && (clash = FileHolds(*file.file, "--" + boundary))) break;
    if (!clash) break;
    boundary = kMultipartBoundary + RandomSuffix();
  }
  return boundary;
}

std::string MultipartFieldPart(const std::vector<TPostField>& fields, const TMultipartOptions& options,
                               std::string_view boundary) {
  std::string part;
  for (const TPostField& field : fields) {
    const std::u16string content =
        options.bareMailFields && IsMailField(field.name) ? BareAddress(field.content, options.alwaysUtf8) : field.content;
    std::string charset = "iso-8859-1", encoding = "8bit", bytes;
    bool encodingLine = !options.rawUtf8Fields || options.base64Utf8Fields;
    if (!options.alwaysUtf8 && IsLatin1Text(content)) {
      bytes = ToLatin1(content);
    } else {
      charset = "utf-8";
      encoding = "base64";
      bytes = Utf16ToUtf8(content);
      if (encodingLine) bytes = Base64(bytes);
    }
    // Content holding the delimiter would end its part early: such a field
    // goes base64, which never contains "--".
    if (encoding != "base64" || !encodingLine) {
      if (bytes.find("--" + std::string(boundary)) != std::string::npos) {
        encoding = "base64";
        bytes = Base64(bytes);
        encodingLine = true;
      }
    }
    part += Delimiter(boundary) + "Content-Disposition: form-data; name=\"" + FieldNameText(field.name, options.alwaysUtf8) +
            "\"\r\nContent-Type: text/plain; charset=\"" + charset + "\"\r\n";
    if (encodingLine) part += "Content-Transfer-Encoding: " + encoding + "\r\n";
    part += "\r\n" + bytes;
  }
  return part;
}

THttpBody MultipartBody(const std::vector<TPostField>& fields, const std::vector<TPostFile>& files,
                        const TMultipartOptions& options, std::string_view boundary) {
  THttpBody body;
  body.AddText(MultipartFieldPart(fields, options, boundary));
  for (const TPostFile& file : files) {
    body.AddText(FilePartHead(file, boundary));
    body.AddFile(file.file, false);
  }
  body.AddText(Closing(boundary));
  return body;
}

bool IsOpenableRedirect(std::string_view url) {
  const auto startsWith = [&](std::string_view prefix) {
    if (url.size() <= prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
      if (static_cast<char>(std::tolower(static_cast<unsigned char>(url[i]))) != prefix[i]) return false;
    return true;
  };
  if (!startsWith("http://") && !startsWith("https://")) return false;
  for (char c : url)
    if (static_cast<unsigned char>(c) <= 32 || c == '"' || c == 127) return false;
  return true;
}

TCustomScriptResult PostMultipart(THttpSession& session, const TCustomScriptJob& job,
                                  const TCustomScriptServices& services) {
  kelvane::IFileSystem& fileSystem = services.files ? *services.files : kelvane::DefaultFileSystem();
  IProgressAlert* progress = services.progress;
  TAttachmentSet set;
  OpenAttachmentFiles(progress, services.caption, job.paths, false, false, fileSystem, set);
  if (progress) progress->AreaDone();  // the connection area

  std::vector<TPostFile> files;
  for (std::size_t i = 0; i < set.files.size(); ++i) {
    if (!set.files[i]) continue;
    files.push_back({i < job.fieldNames.size() ? job.fieldNames[i] : u"File",
                     i < job.sendAsNames.size() ? job.sendAsNames[i] : u"file", set.files[i].get()});
  }
  return PostMultipartFiles(session, job, files, services);
}

TCustomScriptResult PostMultipartFiles(THttpSession& session, const TCustomScriptJob& job,
                                       const std::vector<TPostFile>& files, const TCustomScriptServices& services) {
  IProgressAlert* progress = services.progress;
  const std::string boundary = MultipartBoundary(files);
  const THttpBody body = MultipartBody(job.fields, files, job.options, boundary);
  std::vector<std::string> headers{"Content-Type: multipart/form-data; boundary=" + boundary};
  if (!job.mailFrom.empty())
    if (const std::optional<std::string> from = FormatMailAddress(job.mailFrom, false, job.options.alwaysUtf8))
      headers.push_back("From: " + *from);

  const int area = progress ? progress->GetCurrentArea() : 0;
  const int position = progress ? progress->GetPosition() : 0;
  TBodyProgress bodyProgress;
  if (progress) {
    bodyProgress.position = [progress](int perMille) { progress->SetPosition(perMille); };
    bodyProgress.fileDone = [progress] { progress->AreaDone(); };
  }
  const auto restart = [&] {
    if (!progress) return;
    progress->SetCurrentArea(area);
    progress->SetPosition(position);
  };
  const THttpOutcome outcome = session.Send("POST", job.path, headers, &body, bodyProgress, restart);
  TCustomScriptResult result{outcome.ok, DecodeEntities(outcome.answer), outcome.redirectUrl};
  if (outcome.ok && job.openRedirects && services.openUrl && IsOpenableRedirect(outcome.redirectUrl))
    services.openUrl(outcome.redirectUrl);
  return result;
}

}  // namespace ruvex
