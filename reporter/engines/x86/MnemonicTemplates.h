#pragma once
// The mnemonic templates of the opcode tables and the compile-time checks
// that keep a table entry from naming a template that does not exist or
// that the text form cannot read.
#include <cstdint>
#include <iterator>
#include <string_view>

namespace ruvex {

// Addressed by 1-based index. The text form resolves the markers, outermost
// first: "/" variants by the prefix (none, 0x66, 0xF2, 0xF3), "|" by the
// ModR/M register field (eight memory forms, then eight register forms),
// "-" by the r/m field of a register form, ":" register form before memory
// form; "%cc" is the condition of the opcode, "%seg" its segment register,
// "S" and "P" the scalar/packed and single/double letters.
// "ud2" follows the classic list: it decodes as a valid instruction.
inline constexpr std::string_view kMnemonicTemplates[] = {
  "aaa", "aad", "aam", "aas", "adc", "add", "addPS", "and", "andnPS", "arpl", "bound", "bsf",
  "bsr", "bswap", "bt", "btc", "btr", "bts", "call", "clc", "cld", "cli", "clts", "cmc", "cmov%cc",
  "cmp", "cmpPS", "cmpsb", "cmpxchg", "cmpxchg8b", "comisS", "cpuid", "cvtPi2PS", "cvtPS2Pi",
  "cvttPS2Pi", "daa", "das", "dec", "divPS", "emms", "enter", "femms", "hlt", "imul", "in", "inc",
  "insb", "int", "int     3", "int01", "into", "invd", "iret", "j%cc", "jecxz", "jmp", "lahf",
  "lar", "lds", "lea", "leave", "les", "lfs", "lgs", "sysret", "lodsb", "loop", "loope", "loopne",
  "lsl", "lss", "maxPS", "minPS", "mov", "movaPS", "movd", "movhPS", "movlPS", "movmskPS",
  "movnti", "movntPS", "movsb", "movsx", "movzx", "mulPS", "nop", "or", "orPS", "out", "outsb",
  "packssdw", "packsswb", "packuswb", "paddb", "paddd", "paddq", "paddsb", "paddsw", "paddusb",
  "paddusw", "paddw", "pand", "pandn", "pavgb", "pavgw", "pcmpeqb", "pcmpeqd", "pcmpeqw",
  "pcmpgtb", "pcmpgtd", "pcmpgtw", "pextrw", "pinsrw", "pmaddwd", "pmaxsw", "pmaxub", "pminsw",
  "pminub", "pmovmskb", "pmulhuw", "pmulhw", "pmullw", "pmuludq", "pop", "por", "psadbw", "pslld",
  "psllq", "psllw", "psrad", "psraw", "psrld", "psrlq", "psrlw", "psubb", "psubd", "psubq",
  "psubsb", "psubsw", "psubusb", "psubusw", "psubw", "punpckhbw", "punpckhdq", "punpckhqdq",
  "punpckhwd", "punpcklbw", "punpckldq", "punpcklwd", "punpcklqdq", "push", "pxor", "rcpPS",
  "rdmsr", "rdpmc", "rdtsc", "ret", "rsm", "rsqrtPS", "sahf", "salc", "sbb", "scasb", "set%cc",
  "shld", "shrd", "shufPS", "sqrtPS", "stc", "std", "sti", "stosb", "sub", "subPS", "syscall",
  "sysenter", "sysexit", "test", "ucomisS", "unpckhPS", "unpcklPS", "wait", "wbinvd", "wrmsr",
  "xadd", "xchg", "xlat", "xor", "xorPS", "cwde/cbw", "cdq/cwd", "pop     %seg", "popad/popa",
  "popfd/popf", "push    %seg", "pushad/pusha", "pushfd/pushf", "outsd/outsw", "insd/insw",
  "movsd/movsw", "cmpsd/cmpsw", "lodsd/lodsw", "stosd/stosw", "scasd/scasw", "maskmovq/maskmovdqu",
  "movd///movq", "movntq/movntdq", "movq//movdq2q/movq2dq", "movq/movdqa//movdqu",
  "movuPS//movPS/movPS", "prefetch|prefetchw", "pshufw/pshufd/pshuflw/pshufhw",
  "sgdt|sidt|lgdt|lidt|smsw||lmsw|invlpg|||||smsw||lmsw|swapgs-rdtscp-monitorx-mwaitx-clzero-rdpru-invlpgb-tlbsync", "sldt|str|lldt|ltr|verr|verw", "||||bt|bts|btr|btc",
  "||psrld||psrad||pslld", "||psrlq|psrldq|||psllq|pslldq", "||psrlw||psraw||psllw",
  "cvtdq2ps/cvtps2dq//cvttps2dq", "cvtPs2Pd/cvtPd2Ps/cvtPd2Ps", "cvttpd2dq//cvtpd2dq/cvtdq2pd",
  "add|or|adc|sbb|and|sub|xor|cmp", "inc|dec|call|call|jmp|jmp|push",
  "rol|ror|rcl|rcr|shl|shr|sal|sar", "test||not|neg|mul|imul|div|idiv",
  "add|mul|com|comp|sub|subr|div|divr|add|mul|com|comp|subr|sub|divr|div",
  "movhlPS:movlPS/movlPS/movddup/movsldup", "movlhPS:movhPS/movhPS/movlhPS:movhPS/movshdup",
  "prefetchnta|prefetcht0|prefetcht1|prefetcht2|prefetcht3",
  "fxsave|fxrstor|ldmxcsr|stmxcsr||lfence|mfence|sfence:clflush",
  "ld||st|stp|ldenv|ldcw|nstenv|nstcw|ld|xch|nop|stp1|chs-abs---tst-xam|ld1-ldl2t-ldl2e-ldpi-ldlg2-ldln2-ldz|2xm1-yl2x-ptan-patan-xtract-prem1-decstp-incstp|prem-yl2xp1-sqrt-sincos-rndint-scale-sin-cos",
  "iadd|imul|icom|icomp|isub|isubr|idiv|idivr|cmovb|cmove|cmovbe|cmovu||ucompp",
  "ild|isttp|ist|istp||ld||stp|cmovnb|cmovne|cmovnbe|cmovnu|neni-ndisi-nclex-ninit-nsetpm|ucomi|comi",
  "ld|isttp|st|stp|rstor||nsave|nstsw|free|xch4|st|stp|ucom|ucomp",
  "iadd|imul|icom|icomp|isub|isubr|idiv|idivr|addp|mulp|comp5|compp|subrp|subp|divrp|divp",
  "ild|isttp|ist|istp|bld|ild|bstp|istp|freep|xch7|stp8|stp9|nstsw  ax|ucomip|comip", "andPS",
  "addsubpd", "haddpd", "hsubpd", "lddqu",
  "ud2", "movsxd",
};

namespace mnemonic_check {

// How many parts `separator` splits `text` into; 1 without it.
consteval std::size_t PartCount(std::string_view text, char separator) {
  std::size_t parts = 1;
  for (char c : text) parts += c == separator;
  return parts;
}

// Calls `check` on each part between separators; false when one fails.
template <class TCheck>
consteval bool EveryPart(std::string_view text, char separator, TCheck check) {
  for (;;) {
    const std::size_t at = text.find(separator);
    if (!check(text.substr(0, at))) return false;
    if (at == std::string_view::npos) return true;
    text.remove_prefix(at + 1);
  }
}

// A mnemonic after every choice: lowercase letters, digits, blanks and the
// markers "%cc", "%seg", "S" and "P"; empty where a form has no mnemonic.
consteval bool WellFormedName(std::string_view name) {
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == ' ' || c == 'S' || c == 'P') continue;
    if (name.substr(i, 3) == "%cc") i += 2;
    else if (name.substr(i, 4) == "%seg") i += 3;
    else return false;
  }
  return true;
}

consteval bool WellFormedRegisterOrMemory(std::string_view text) {
  return PartCount(text, ':') <= 2 && EveryPart(text, ':', WellFormedName);
}

consteval bool WellFormedRmChoice(std::string_view text) {
  return PartCount(text, '-') <= 8 && EveryPart(text, '-', WellFormedRegisterOrMemory);
}

consteval bool WellFormedRegChoice(std::string_view text) {
  return PartCount(text, '|') <= 16 && EveryPart(text, '|', WellFormedRmChoice);
}

}  // namespace mnemonic_check

// Whether the text form can read `text`: at most four prefix variants, the
// first one present (the others fall back to it), sixteen register-field
// forms, eight r/m forms, two register/memory forms, and only the known
// markers.
consteval bool WellFormedTemplate(std::string_view text) {
  using namespace mnemonic_check;
  return !text.substr(0, text.find('/')).empty() && PartCount(text, '/') <= 4 &&
         EveryPart(text, '/', WellFormedRegChoice);
}

// Not constexpr on purpose: reaching it in a constant evaluation stops the
// build, and the compiler names it in the message.
void UnknownMnemonicTemplate();

// The 1-based index of a template. A name missing from the list does not
// compile: the table entry would otherwise lose its mnemonic unnoticed.
//   Two(0x0B, 0, "ud3");  // error: call to non-constexpr 'UnknownMnemonicTemplate()'
consteval std::uint8_t MnemonicOf(std::string_view text) {
  for (std::size_t i = 0; i < std::size(kMnemonicTemplates); ++i)
    if (kMnemonicTemplates[i] == text) return static_cast<std::uint8_t>(i + 1);
  UnknownMnemonicTemplate();
  return 0;
}

namespace mnemonic_check {

consteval bool AllTemplatesWellFormedAndDistinct() {
  for (std::size_t i = 0; i < std::size(kMnemonicTemplates); ++i) {
    if (!WellFormedTemplate(kMnemonicTemplates[i])) return false;
    for (std::size_t j = 0; j < i; ++j)
      if (kMnemonicTemplates[j] == kMnemonicTemplates[i]) return false;
  }
  return true;
}

}  // namespace mnemonic_check

static_assert(std::size(kMnemonicTemplates) <= 255, "a template index must fit the table's byte");
static_assert(mnemonic_check::AllTemplatesWellFormedAndDistinct(),
              "every template must be readable by the text form, and appear once");

}  // namespace ruvex
