#include "reporter/ui/assistant/FormStream.h"

#include "common/text/Format.h"
#include "common/text/Utf.h"
#include "common/text/Windows1252.h"
#include "reporter/core/properties/ComponentStream.h"

namespace ruvex {

namespace {

// A form is a root with items; deeper objects are read for their place in
// the stream but a hostile stream must not recurse without end.
constexpr int kMaxDepth = 16;

enum class TReadState { ok, stop };
enum class TTarget { form, item, none };

class TFormReader {
 public:
  TFormReader(std::string_view stream, TNVForm& form, TFormStreamRead& result)
      : in_(stream), form_(form), result_(result) {}

  void Read() {
    if (!in_.Signature()) return;
    result_.signatureMatches = true;
    ReadObject(0);
  }

 private:
  TReadState Truncated() {
    result_.truncated = true;
    return TReadState::stop;
  }

  TReadState ReadObject(int depth) {
    if (depth > kMaxDepth) return Truncated();
    std::string_view className, objectName;
    if (!in_.ShortString(className) || !in_.ShortString(objectName)) return Truncated();
    std::u16string name = kelvane::Utf8ToUtf16(objectName);
    if (name == u"AbortBtn") name = u"CancelBtn";
    if (form_.FName.empty()) form_.FName = name;
    TNVItem* item = ItemFor(kelvane::Utf8ToUtf16(className), std::move(name));
    // Only the root configures the form: a child of a class the forms do
    // not know is read past, its properties dropped.
    const TTarget target = item ? TTarget::item : depth == 0 ? TTarget::form : TTarget::none;
    if (ReadProperties(target, item) == TReadState::stop) return TReadState::stop;
    return ReadChildren(depth);
  }

  // The class decides what the object configures; null is the form itself.
  TNVItem* ItemFor(std::u16string className, std::u16string name) {
    if (!className.empty()) className[0] = u'T';
    if (className == u"TNVButton") {
      for (int i = 0; i < kFirstContentIndex; ++i)
        if (form_.Item(i)->FName == name) return form_.Item(i);
      return &form_.Add<TNVButton>(std::move(name));
    }
    if (className == u"TNVLabel") return &form_.Add<TNVLabel>(std::move(name));
    if (className == u"TNVEdit") return &form_.Add<TNVEdit>(std::move(name));
    if (className == u"TNVCheckBox") return &form_.Add<TNVCheckBox>(std::move(name));
    if (className == u"TNVImage") return &form_.Add<TNVImage>(std::move(name));
    return nullptr;
  }

  TReadState ReadProperties(TTarget target, TNVItem* item) {
    for (;;) {
      std::string_view name;
      std::uint8_t nameLength, type;
      if (!in_.Byte(nameLength)) return Truncated();
      if (nameLength == 0) return TReadState::ok;
      if (!in_.Bytes(nameLength, name) || !in_.Byte(type)) return Truncated();
      TStreamValue value;
      switch (in_.Value(type, value)) {
        case TValueRead::ok: break;
        case TValueRead::invalidType:
          result_.invalidType = type;
          return TReadState::stop;
        case TValueRead::truncated: return Truncated();
      }
      const std::u16string propertyName = kelvane::Utf8ToUtf16(name);
      if (target == TTarget::item) item->SetProperty(propertyName, value.Text());
      else if (target == TTarget::form) form_.SetProperty(propertyName, value.Text());
    }
  }

  TReadState ReadChildren(int depth) {
    for (;;) {
      std::uint8_t next;
      if (!in_.Peek(next)) return Truncated();
      if (next == 0) {
        in_.Byte(next);  // the end of the children
        return TReadState::ok;
      }
      if (ReadObject(depth + 1) == TReadState::stop) return TReadState::stop;
    }
  }

  TComponentStreamReader in_;
  TNVForm& form_;
  TFormStreamRead& result_;
};

}  // namespace

TFormStreamRead ReadFormStream(std::string_view stream, TNVForm& form) {
  TFormStreamRead result;
  TFormReader(stream, form, result).Read();
  return result;
}

std::u16string InvalidAssistantMessage(std::uint8_t valueType) {
  return u"Internal error: Invalid assistant resource (" + kelvane::DecimalText(valueType) + u").";
}

std::u16string FormResourceName(std::u16string_view formName) {
  std::u16string name = u"TRE";
  // Resource names are upper case in the ASCII range, as the resource compiler stores them.
  for (char16_t c : formName) name += (c >= u'a' && c <= u'z') ? char16_t(c - u'a' + u'A') : c;
  return name;
}

}  // namespace ruvex
