// Form streams come from resources of the module: untrusted bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "reporter/ui/assistant/FormLayout.h"
#include "reporter/ui/assistant/FormStream.h"

namespace {

class TFixedMeasure final : public ruvex::ITextMeasure {
 public:
  ruvex::TTextExtent Extent(std::u16string_view text, ruvex::TNVFont) const override {
    return {int(text.size() % 4096) * 6, 13};
  }
  int WrappedHeight(std::u16string_view text, int width) const override {
    return 13 * (1 + int(text.size() % 4096) * 6 / (width > 0 ? width : 1));
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ruvex::TNVForm form;
  ruvex::ReadFormStream(std::string_view(reinterpret_cast<const char*>(data), size), form);
  ruvex::LayoutForm(form, TFixedMeasure());
  form.NextAllowed();
  form.NextFocus(form.FirstFocus());
  return 0;
}
