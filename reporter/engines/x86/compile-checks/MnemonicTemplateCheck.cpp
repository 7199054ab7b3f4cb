// Compiled by the tests, never linked. With CHECKED_TEMPLATE naming a
// template of the list it compiles; with any other text the build stops,
// as it does for a table entry that names such a template.
#include "reporter/engines/x86/MnemonicTemplates.h"

namespace ruvex {

static_assert(MnemonicOf(CHECKED_TEMPLATE) > 0);

// What the text form can and cannot read.
static_assert(WellFormedTemplate("mov"));
static_assert(WellFormedTemplate("cmov%cc") && WellFormedTemplate("push    %seg"));
static_assert(WellFormedTemplate("movd///movq"));                      // four variants, two empty
static_assert(WellFormedTemplate("fxsave|fxrstor||sfence:clflush"));   // register/memory in a field form
static_assert(WellFormedTemplate("ld1-ldl2t-ldl2e-ldpi-ldlg2-ldln2-ldz-x"));
static_assert(!WellFormedTemplate(""));
static_assert(!WellFormedTemplate("/cbw"));                // no variant to fall back to
static_assert(!WellFormedTemplate("a/b/c/d/e"));           // five prefix variants
static_assert(!WellFormedTemplate("a|b|c|d|e|f|g|h|i|j|k|l|m|n|o|p|q"));  // seventeen field forms
static_assert(!WellFormedTemplate("a-b-c-d-e-f-g-h-i"));   // nine r/m forms
static_assert(!WellFormedTemplate("a:b:c"));
static_assert(!WellFormedTemplate("j%c") && !WellFormedTemplate("pop %sg") && !WellFormedTemplate("mov%"));
static_assert(!WellFormedTemplate("Mov") && !WellFormedTemplate("mov,") && !WellFormedTemplate("mov\t"));

}  // namespace ruvex
