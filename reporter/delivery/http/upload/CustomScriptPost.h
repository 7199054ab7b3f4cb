#pragma once
// The bug report as a multipart/form-data POST to a custom script: the
// fields as text parts, the attachment files streamed as file parts, the
// whole length declared before the first byte.
#include <functional>
#include <string>
#include <vector>

#include "reporter/delivery/http/client/HttpBody.h"
#include "reporter/delivery/http/client/HttpSession.h"
#include "reporter/delivery/smtp/AttachmentFiles.h"

namespace ruvex {

inline constexpr char kMultipartBoundary[] = "Pellowind_multipart_boundary";

struct TPostField {
  std::u16string name, content;
};

struct TPostFile {
  std::u16string fieldName, sendAsName;
  kelvane::IFileReader* file = nullptr;  // not owned
};

struct TMultipartOptions {
  bool alwaysUtf8 = false;     // AlwaysUtf8
  bool rawUtf8Fields = true;   // HttpRawUtf8Fields
  bool base64Utf8Fields = false;  // the tracker form: UTF-8 fields always base64 with their encoding line
  bool bareMailFields = true;  // HttpBareMailFields
};

// The fixed boundary, or the same with a random suffix when a file holds
// it (each file read once and rewound).
std::string MultipartBoundary(const std::vector<TPostFile>& files);
// The text parts: one per field, in list order.
std::string MultipartFieldPart(const std::vector<TPostField>& fields, const TMultipartOptions& options,
                               std::string_view boundary = kMultipartBoundary);
// Field part, file parts and the closing delimiter.
THttpBody MultipartBody(const std::vector<TPostField>& fields, const std::vector<TPostFile>& files,
                        const TMultipartOptions& options, std::string_view boundary = kMultipartBoundary);

// A redirect the shell may open: an absolute http or https URL, and
// nothing else (no file, no program, no other scheme).
bool IsOpenableRedirect(std::string_view url);

struct TCustomScriptJob {
  std::string path;                       // the base path of "HttpServer"
  std::u16string mailFrom;                // the sender; empty: no From header
  std::vector<TPostField> fields;
  std::vector<std::u16string> fieldNames, sendAsNames, paths;  // one per attachment
  TMultipartOptions options;
  bool openRedirects = true;              // HttpOpenRedirects
};

struct TCustomScriptServices {
  kelvane::IFileSystem* files = nullptr;  // null: the platform's files
  IProgressAlert* progress = nullptr;
  TCaptionOf caption;
  std::function<void(const std::string& url)> openUrl;  // the shell's default action
};

struct TCustomScriptResult {
  bool ok = false;
  std::string response;     // HttpLastResponse
  std::string redirectUrl;  // HttpLastRedirectUrl
};

// The custom script: opens the attachments (with their progress areas),
// then posts.
TCustomScriptResult PostMultipart(THttpSession& session, const TCustomScriptJob& job,
                                  const TCustomScriptServices& services);
// The multipart POST of files already open, shared with the tracker form
// upload; job.paths and job.fieldNames are not looked at.
TCustomScriptResult PostMultipartFiles(THttpSession& session, const TCustomScriptJob& job,
                                       const std::vector<TPostFile>& files, const TCustomScriptServices& services);

}  // namespace ruvex
