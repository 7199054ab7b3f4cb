#include "reporter/engines/x86/OpcodeTables.h"

#include "reporter/engines/x86/MnemonicTemplates.h"

namespace ruvex {
namespace {

struct TAmd3dNow {
  std::uint8_t suffix;
  std::string_view name;
};
constexpr TAmd3dNow k3dNow[] = {
  {0x0C, "pi2fw"},   {0x0D, "pi2fd"},   {0x1C, "pf2iw"},    {0x1D, "pf2id"},    {0x8A, "pfnacc"},
  {0x8E, "pfpnacc"}, {0x90, "pfcmpge"}, {0x94, "pfmin"},    {0x96, "pfrcp"},    {0x97, "pfrsqrt"},
  {0x9A, "pfsub"},   {0x9E, "pfadd"},   {0xA0, "pfcmpgt"},  {0xA4, "pfmax"},    {0xA6, "pfrcpit1"},
  {0xA7, "pfrsqit1"},{0xAA, "pfsubr"},  {0xAE, "pfacc"},    {0xB0, "pfcmpeq"},  {0xB4, "pfmul"},
  {0xB6, "pfrcpit2"},{0xB7, "pmulhrw"}, {0xBB, "pswapd"},   {0xBF, "pavgusb"},
};

// Operand shorthands after the Intel opcode map notation.
constexpr std::uint16_t Eb = kModByte, Ew = kModWord, Ev = kModDword | kMod66;
constexpr std::uint16_t Gb = kRegByte, Gv = kRegOpSize;
constexpr std::uint16_t Ib = kImm8, Iw = kImm16, Iz = kImmOpSize;
constexpr std::uint16_t Sz = kShowSize, MF = kModFirst;
constexpr std::uint16_t Xmm = kRegXmm | kModOword;               // xmm, xmm/m128
constexpr std::uint16_t Mmx = kRegMmx | kModQword | kReg66 | kMod66; // mm or, with 0x66, xmm
constexpr std::uint16_t St = kRegSt, STi = kModTbyte;
constexpr std::uint16_t X = kFlagsInvalid;

// Fills the tables during compilation: every mnemonic is looked up by
// MnemonicOf, so a template that is not in the list stops the build.
class TBuilder {
 public:
  TOpcodeTables t;

  consteval TBuilder() {
    t.oneByte.fill(X);
    t.twoByte.fill(X);
    BuildOneByte();
    BuildTwoByte();
    BuildGroups();
    BuildSsePrefixes();
    BuildLongMode();
  }

 private:
  consteval void One(unsigned op, std::uint16_t flags, std::string_view mnemonic) {
    t.oneByte[op] = flags;
    t.oneByteMnemonic[op] = MnemonicOf(mnemonic);
  }
  consteval void Two(unsigned op, std::uint16_t flags, std::string_view mnemonic) {
    t.twoByte[op] = flags;
    t.twoByteMnemonic[op] = MnemonicOf(mnemonic);
  }
  // The suffix byte names the operation (Amd3dNowName): no template.
  consteval void Two3dNow(unsigned op, std::uint16_t flags) { t.twoByte[op] = flags; }

  consteval void BuildOneByte() {
    const char* alu[] = {"add", "or", "adc", "sbb", "and", "sub", "xor", "cmp"};
    for (unsigned i = 0; i < 8; ++i) {
      unsigned b = i * 8;
      bool writes = i != 7;  // cmp only reads
      One(b + 0, Gb | Eb | MF | (writes ? kWriteMod : 0), alu[i]);
      One(b + 1, Gv | Ev | MF | (writes ? kWriteMod : 0), alu[i]);
      One(b + 2, Gb | Eb | (writes ? kWriteReg : 0), alu[i]);
      One(b + 3, Gv | Ev | (writes ? kWriteReg : 0), alu[i]);
      One(b + 4, kRegAl | Ib | (writes ? kWriteEax : 0), alu[i]);
      One(b + 5, kRegEax | Iz | (writes ? kWriteEax : 0), alu[i]);
    }
    for (unsigned op : {0x06u, 0x0Eu, 0x16u, 0x1Eu}) One(op, 0, "push    %seg");
    for (unsigned op : {0x07u, 0x17u, 0x1Fu}) One(op, 0, "pop     %seg");
    One(0x27, kWriteEax, "daa");
    One(0x2F, kWriteEax, "das");
    One(0x37, kWriteEax, "aaa");
    One(0x3F, kWriteEax, "aas");
    for (unsigned r = 0; r < 8; ++r) {
      One(0x40 + r, kRegLowOpSize | kWriteLow, "inc");
      One(0x48 + r, kRegLowOpSize | kWriteLow, "dec");
      One(0x50 + r, kRegLowOpSize, "push");
      One(0x58 + r, kRegLowOpSize | kWriteLow, "pop");
    }
    One(0x60, 0, "pushad/pusha");
    One(0x61, 0, "popad/popa");
    One(0x62, Gv | Ev, "bound");
    One(0x63, kRegWord | Ew | MF | kWriteMod, "arpl");
    One(0x68, Iz, "push");
    One(0x69, Gv | Ev | Iz | kWriteReg, "imul");
    One(0x6A, Ib, "push");
    One(0x6B, Gv | Ev | Ib | kWriteReg, "imul");
    One(0x6C, 0, "insb");
    One(0x6D, 0, "insd/insw");
    One(0x6E, 0, "outsb");
    One(0x6F, 0, "outsd/outsw");
    for (unsigned c = 0; c < 16; ++c) One(0x70 + c, Ib | kRelative, "j%cc");
    const char* group1 = "add|or|adc|sbb|and|sub|xor|cmp";
    One(0x80, Eb | Ib | Sz | kWriteMod, group1);
    One(0x81, Ev | Iz | Sz | kWriteMod, group1);
    One(0x82, Eb | Ib | Sz | kWriteMod, group1);
    One(0x83, Ev | Ib | Sz | kWriteMod, group1);
    One(0x84, Gb | Eb | MF, "test");
    One(0x85, Gv | Ev | MF, "test");
    One(0x86, Gb | Eb | MF | kWriteRegMod, "xchg");
    One(0x87, Gv | Ev | MF | kWriteRegMod, "xchg");
    One(0x88, Gb | Eb | MF | kWriteMod, "mov");
    One(0x89, Gv | Ev | MF | kWriteMod, "mov");
    One(0x8A, Gb | Eb | kWriteReg, "mov");
    One(0x8B, Gv | Ev | kWriteReg, "mov");
    One(0x8C, kRegSpecial | Ew | MF | kWriteMod, "mov");
    One(0x8D, Gv | Ev | kWriteReg, "lea");
    One(0x8E, kRegSpecial | Ew, "mov");
    One(0x8F, Ev | Sz | kWriteMod, "pop");
    One(0x90, 0, "nop");
    for (unsigned r = 1; r < 8; ++r) One(0x90 + r, kRegEaxAndLow | kWriteEaxLow, "xchg");
    One(0x98, kWriteEax, "cwde/cbw");
    One(0x99, 0, "cdq/cwd");
    One(0x9A, Iz, "call");
    One(0x9B, 0, "wait");
    One(0x9C, 0, "pushfd/pushf");
    One(0x9D, 0, "popfd/popf");
    One(0x9E, 0, "sahf");
    One(0x9F, kWriteEax, "lahf");
    One(0xA0, kRegAl | Iz | kWriteEax, "mov");
    One(0xA1, kRegEax | Iz | kWriteEax, "mov");
    One(0xA2, kRegAl | Iz, "mov");
    One(0xA3, kRegEax | Iz, "mov");
    One(0xA4, 0, "movsb");
    One(0xA5, 0, "movsd/movsw");
    One(0xA6, 0, "cmpsb");
    One(0xA7, 0, "cmpsd/cmpsw");
    One(0xA8, kRegAl | Ib, "test");
    One(0xA9, kRegEax | Iz, "test");
    One(0xAA, 0, "stosb");
    One(0xAB, 0, "stosd/stosw");
    One(0xAC, kWriteEax, "lodsb");
    One(0xAD, kWriteEax, "lodsd/lodsw");
    One(0xAE, 0, "scasb");
    One(0xAF, 0, "scasd/scasw");
    for (unsigned r = 0; r < 8; ++r) {
      One(0xB0 + r, kRegLowByte | Ib | kWriteLow, "mov");
      One(0xB8 + r, kRegLowOpSize | Iz | kWriteLow, "mov");
    }
    const char* group2 = "rol|ror|rcl|rcr|shl|shr|sal|sar";
    One(0xC0, Eb | Ib | Sz | kWriteMod, group2);
    One(0xC1, Ev | Ib | Sz | kWriteMod, group2);
    One(0xC2, Iw, "ret");
    One(0xC3, 0, "ret");
    One(0xC4, Gv | Ev | kWriteReg, "les");
    One(0xC5, Gv | Ev | kWriteReg, "lds");
    One(0xC6, Eb | Ib | Sz | kWriteMod, "mov");
    One(0xC7, Ev | Iz | Sz | kWriteMod, "mov");
    One(0xC8, Iw, "enter");
    One(0xC9, 0, "leave");
    One(0xCA, Iw, "ret");
    One(0xCB, 0, "ret");
    One(0xCC, 0, "int     3");
    One(0xCD, Ib, "int");
    One(0xCE, 0, "into");
    One(0xCF, 0, "iret");
    One(0xD0, Eb | Sz | kWriteMod, group2);
    One(0xD1, Ev | Sz | kWriteMod, group2);
    One(0xD2, Eb | Sz | kWriteMod, group2);
    One(0xD3, Ev | Sz | kWriteMod, group2);
    One(0xD4, Ib | kWriteEax, "aam");
    One(0xD5, Ib | kWriteEax, "aad");
    One(0xD6, kWriteEax, "salc");
    One(0xD7, kWriteEax, "xlat");
    One(0xD8, kModGroup, "add|mul|com|comp|sub|subr|div|divr|add|mul|com|comp|subr|sub|divr|div");
    One(0xD9, kModGroup,
        "ld||st|stp|ldenv|ldcw|nstenv|nstcw|ld|xch|nop|stp1|chs-abs---tst-xam|"
        "ld1-ldl2t-ldl2e-ldpi-ldlg2-ldln2-ldz|2xm1-yl2x-ptan-patan-xtract-prem1-decstp-incstp|"
        "prem-yl2xp1-sqrt-sincos-rndint-scale-sin-cos");
    One(0xDA, kModGroup, "iadd|imul|icom|icomp|isub|isubr|idiv|idivr|cmovb|cmove|cmovbe|cmovu||ucompp");
    One(0xDB, kModGroup,
        "ild|isttp|ist|istp||ld||stp|cmovnb|cmovne|cmovnbe|cmovnu|neni-ndisi-nclex-ninit-nsetpm|ucomi|comi");
    One(0xDC, kModGroup, "add|mul|com|comp|sub|subr|div|divr|add|mul|com|comp|subr|sub|divr|div");
    One(0xDD, kModGroup, "ld|isttp|st|stp|rstor||nsave|nstsw|free|xch4|st|stp|ucom|ucomp");
    One(0xDE, kModGroup, "iadd|imul|icom|icomp|isub|isubr|idiv|idivr|addp|mulp|comp5|compp|subrp|subp|divrp|divp");
    One(0xDF, kModGroup, "ild|isttp|ist|istp|bld|ild|bstp|istp|freep|xch7|stp8|stp9|nstsw  ax|ucomip|comip");
    One(0xE0, Ib | kRelative, "loopne");
    One(0xE1, Ib | kRelative, "loope");
    One(0xE2, Ib | kRelative, "loop");
    One(0xE3, Ib | kRelative, "jecxz");
    One(0xE4, kRegAl | Ib | kWriteEax, "in");
    One(0xE5, kRegEax | Ib | kWriteEax, "in");
    One(0xE6, kRegAl | Ib, "out");
    One(0xE7, kRegEax | Ib, "out");
    One(0xE8, Iz | kRelative, "call");
    One(0xE9, Iz | kRelative, "jmp");
    One(0xEA, Iz, "jmp");
    One(0xEB, Ib | kRelative, "jmp");
    One(0xEC, kRegAccDx | kWriteEax, "in");
    One(0xED, kRegAccDx | kWriteEax, "in");
    One(0xEE, kRegAccDx, "out");
    One(0xEF, kRegAccDx, "out");
    One(0xF1, 0, "int01");
    One(0xF4, 0, "hlt");
    One(0xF5, 0, "cmc");
    One(0xF6, kModGroup, "test||not|neg|mul|imul|div|idiv");
    One(0xF7, kModGroup, "test||not|neg|mul|imul|div|idiv");
    One(0xF8, 0, "clc");
    One(0xF9, 0, "stc");
    One(0xFA, 0, "cli");
    One(0xFB, 0, "sti");
    One(0xFC, 0, "cld");
    One(0xFD, 0, "std");
    One(0xFE, Eb | Sz | kWriteMod, "inc|dec|call|call|jmp|jmp|push");
    One(0xFF, Ev | Sz | kWriteMod, "inc|dec|call|call|jmp|jmp|push");
    // Prefixes never reach the table; the escape byte selects the second one.
    for (unsigned op : {0x0Fu, 0x26u, 0x2Eu, 0x36u, 0x3Eu, 0x64u, 0x65u, 0x66u, 0x67u, 0xF0u, 0xF2u, 0xF3u})
      t.oneByte[op] = 0;
  }

  consteval void BuildTwoByte() {
    Two(0x00, Ew | kWriteMod, "sldt|str|lldt|ltr|verr|verw");
    Two(0x01, kModDword | kWriteMod,
        "sgdt|sidt|lgdt|lidt|smsw||lmsw|invlpg|||||smsw||lmsw|swapgs-rdtscp-monitorx-mwaitx-clzero-rdpru-invlpgb-tlbsync");
    Two(0x02, Gv | Ew | kWriteReg, "lar");
    Two(0x03, Gv | Ew | kWriteReg, "lsl");
    Two(0x05, 0, "syscall");
    Two(0x06, 0, "clts");
    Two(0x07, 0, "sysret");
    Two(0x08, 0, "invd");
    Two(0x09, 0, "wbinvd");
    Two(0x0B, 0, "ud2");
    Two(0x0D, kModByte, "prefetch|prefetchw");
    Two(0x0E, 0, "femms");
    Two3dNow(0x0F, kRegMmx | kModQword | Ib);
    Two(0x10, Xmm, "movuPS//movPS/movPS");
    Two(0x11, Xmm | MF, "movuPS//movPS/movPS");
    Two(0x12, Xmm, "movhlPS:movlPS/movlPS/movddup/movsldup");
    Two(0x13, Xmm | MF, "movlPS");
    Two(0x14, Xmm, "unpcklPS");
    Two(0x15, Xmm, "unpckhPS");
    Two(0x16, Xmm, "movlhPS:movhPS/movhPS/movlhPS:movhPS/movshdup");
    Two(0x17, Xmm | MF, "movhPS");
    Two(0x18, kModByte, "prefetchnta|prefetcht0|prefetcht1|prefetcht2|prefetcht3");
    for (unsigned op = 0x19; op <= 0x1F; ++op) Two(op, Ev | Sz, "nop");
    Two(0x20, kRegSpecial | kModDword | MF | kWriteMod, "mov");
    Two(0x21, kRegSpecial | kModDword | MF | kWriteMod, "mov");
    Two(0x22, kRegSpecial | kModDword, "mov");
    Two(0x23, kRegSpecial | kModDword, "mov");
    Two(0x28, Xmm, "movaPS");
    Two(0x29, Xmm | MF, "movaPS");
    Two(0x2A, kRegXmm | kModQword, "cvtPi2PS");
    Two(0x2B, Xmm | MF, "movntPS");
    Two(0x2C, kRegMmx | kModOword, "cvttPS2Pi");
    Two(0x2D, kRegMmx | kModOword, "cvtPS2Pi");
    Two(0x2E, Xmm, "ucomisS");
    Two(0x2F, Xmm, "comisS");
    Two(0x30, 0, "wrmsr");
    Two(0x31, 0, "rdtsc");
    Two(0x32, 0, "rdmsr");
    Two(0x33, 0, "rdpmc");
    Two(0x34, 0, "sysenter");
    Two(0x35, 0, "sysexit");
    for (unsigned c = 0; c < 16; ++c) {
      Two(0x40 + c, Gv | Ev | kWriteReg, "cmov%cc");
      Two(0x80 + c, Iz | kRelative, "j%cc");
      Two(0x90 + c, Eb | kWriteMod, "set%cc");
    }
    Two(0x50, kRegOpSize | kModOword | kWriteReg, "movmskPS");
    const char* sse5x[] = {nullptr,  "sqrtPS", "rsqrtPS", "rcpPS", "andPS", "andnPS", "orPS",   "xorPS",
                           "addPS",  "mulPS",  nullptr,   nullptr, "subPS", "minPS",  "divPS",  "maxPS"};
    for (unsigned i = 1; i < 16; ++i)
      if (sse5x[i]) Two(0x50 + i, Xmm, sse5x[i]);
    Two(0x5A, Xmm, "cvtPs2Pd/cvtPd2Ps/cvtPd2Ps");
    Two(0x5B, Xmm, "cvtdq2ps/cvtps2dq//cvttps2dq");
    const char* mmx6x[] = {"punpcklbw", "punpcklwd", "punpckldq", "packsswb", "pcmpgtb",    "pcmpgtw",
                           "pcmpgtd",   "packuswb",  "punpckhbw", "punpckhwd", "punpckhdq", "packssdw",
                           "punpcklqdq", "punpckhqdq"};
    for (unsigned i = 0; i < 14; ++i) Two(0x60 + i, Mmx, mmx6x[i]);
    Two(0x6E, kRegMmx | kReg66 | kModDword, "movd");
    Two(0x6F, Mmx, "movq/movdqa//movdqu");
    Two(0x70, Mmx | Ib, "pshufw/pshufd/pshuflw/pshufhw");
    Two(0x71, kModQword | kMod66 | Ib, "||psrlw||psraw||psllw");
    Two(0x72, kModQword | kMod66 | Ib, "||psrld||psrad||pslld");
    Two(0x73, kModQword | kMod66 | Ib, "||psrlq|psrldq|||psllq|pslldq");
    Two(0x74, Mmx, "pcmpeqb");
    Two(0x75, Mmx, "pcmpeqw");
    Two(0x76, Mmx, "pcmpeqd");
    Two(0x77, 0, "emms");
    Two(0x7C, Xmm, "haddpd");
    Two(0x7D, Xmm, "hsubpd");
    Two(0x7E, kRegMmx | kReg66 | kModDword | MF | kWriteMod, "movd///movq");
    Two(0x7F, Mmx | MF, "movq/movdqa//movdqu");
    Two(0xA0, 0, "push    %seg");
    Two(0xA1, 0, "pop     %seg");
    Two(0xA2, 0, "cpuid");
    Two(0xA3, Gv | Ev | MF, "bt");
    Two(0xA4, Gv | Ev | MF | Ib | kWriteMod, "shld");
    Two(0xA5, Gv | Ev | MF | kWriteMod, "shld");
    Two(0xA8, 0, "push    %seg");
    Two(0xA9, 0, "pop     %seg");
    Two(0xAA, 0, "rsm");
    Two(0xAB, Gv | Ev | MF | kWriteMod, "bts");
    Two(0xAC, Gv | Ev | MF | Ib | kWriteMod, "shrd");
    Two(0xAD, Gv | Ev | MF | kWriteMod, "shrd");
    Two(0xAE, kModDword, "fxsave|fxrstor|ldmxcsr|stmxcsr||lfence|mfence|sfence:clflush");
    Two(0xAF, Gv | Ev | kWriteReg, "imul");
    Two(0xB0, Gb | Eb | MF | kWriteEaxMod, "cmpxchg");
    Two(0xB1, Gv | Ev | MF | kWriteEaxMod, "cmpxchg");
    Two(0xB2, Gv | Ev | kWriteReg, "lss");
    Two(0xB3, Gv | Ev | MF | kWriteMod, "btr");
    Two(0xB4, Gv | Ev | kWriteReg, "lfs");
    Two(0xB5, Gv | Ev | kWriteReg, "lgs");
    Two(0xB6, Gv | Eb | Sz | kWriteReg, "movzx");
    Two(0xB7, Gv | Ew | Sz | kWriteReg, "movzx");
    Two(0xBA, Ev | Ib | Sz | kWriteMod, "||||bt|bts|btr|btc");
    Two(0xBB, Gv | Ev | MF | kWriteMod, "btc");
    Two(0xBC, Gv | Ev | kWriteReg, "bsf");
    Two(0xBD, Gv | Ev | kWriteReg, "bsr");
    Two(0xBE, Gv | Eb | Sz | kWriteReg, "movsx");
    Two(0xBF, Gv | Ew | Sz | kWriteReg, "movsx");
    Two(0xC0, Gb | Eb | MF | kWriteRegMod, "xadd");
    Two(0xC1, Gv | Ev | MF | kWriteRegMod, "xadd");
    Two(0xC2, Xmm | Ib, "cmpPS");
    Two(0xC3, kRegOpSize | kModDword | MF, "movnti");
    Two(0xC4, kRegMmx | kReg66 | kModDword | Ib, "pinsrw");
    Two(0xC5, kRegOpSize | kModQword | kMod66 | Ib | kWriteReg, "pextrw");
    Two(0xC6, Xmm | Ib, "shufPS");
    Two(0xC7, kModQword | Sz, "cmpxchg8b");
    for (unsigned r = 0; r < 8; ++r) Two(0xC8 + r, kRegLowOpSize | kWriteLow, "bswap");
    Two(0xD0, Xmm, "addsubpd");
    const char* mmxDx[] = {nullptr, "psrlw", "psrld", "psrlq", "paddq",   "pmullw",  nullptr, nullptr,
                           "psubusb", "psubusw", "pminub", "pand", "paddusb", "paddusw", "pmaxub", "pandn"};
    const char* mmxEx[] = {"pavgb",  "psraw",  "psrad",  "pavgw", "pmulhuw", "pmulhw", nullptr, nullptr,
                           "psubsb", "psubsw", "pminsw", "por",   "paddsb",  "paddsw", "pmaxsw", "pxor"};
    const char* mmxFx[] = {nullptr,  "psllw", "pslld", "psllq", "pmuludq", "pmaddwd", "psadbw", nullptr,
                           "psubb",  "psubw", "psubd", "psubq", "paddb",   "paddw",   "paddd",  nullptr};
    for (unsigned i = 0; i < 16; ++i) {
      if (mmxDx[i]) Two(0xD0 + i, Mmx, mmxDx[i]);
      if (mmxEx[i]) Two(0xE0 + i, Mmx, mmxEx[i]);
      if (mmxFx[i]) Two(0xF0 + i, Mmx, mmxFx[i]);
    }
    Two(0xD6, kRegXmm | kModQword | MF, "movq//movdq2q/movq2dq");
    Two(0xD7, kRegOpSize | kModQword | kMod66 | kWriteReg, "pmovmskb");
    Two(0xE6, Xmm, "cvttpd2dq//cvtpd2dq/cvtdq2pd");
    Two(0xE7, Mmx | MF, "movntq/movntdq");
    Two(0xF0, Xmm, "lddqu");
    Two(0xF7, Mmx, "maskmovq/maskmovdqu");
  }

  consteval void BuildLongMode() {
    t.oneByte64 = t.oneByte;
    t.oneByteMnemonic64 = t.oneByteMnemonic;
    // Segment pushes and pops, BCD adjustments, pusha/popa, bound, the
    // 0x82 alias of 0x80, far pointers, les/lds (VEX there, not decoded),
    // into, aam, aad and salc.
    for (unsigned op : {0x06u, 0x07u, 0x0Eu, 0x16u, 0x17u, 0x1Eu, 0x1Fu, 0x27u, 0x2Fu, 0x37u, 0x3Fu, 0x60u,
                        0x61u, 0x62u, 0x82u, 0x9Au, 0xC4u, 0xC5u, 0xCEu, 0xD4u, 0xD5u, 0xD6u, 0xEAu}) {
      t.oneByte64[op] = X;
      t.oneByteMnemonic64[op] = 0;
    }
    for (unsigned op = 0x40; op <= 0x4F; ++op) {
      t.oneByte64[op] = 0;
      t.oneByteMnemonic64[op] = 0;
    }
    t.oneByte64[0x63] = Gv | kModDword | kWriteReg;
    t.oneByteMnemonic64[0x63] = MnemonicOf("movsxd");
  }

  consteval void Group(unsigned row, std::uint8_t opcode, std::array<std::uint16_t, 8> memory,
             std::array<std::uint16_t, 8> registers) {
    t.groups[row] = TGroupRow{opcode, memory, registers};
  }

  consteval void BuildGroups() {
    constexpr std::uint16_t W = kWriteMod;
    Group(0, 0xF6, {Eb | Ib | Sz, X, Eb | Sz | W, Eb | Sz | W, Eb | Sz, Eb | Sz, Eb | Sz, Eb | Sz},
          {Eb | Ib, X, Eb | W, Eb | W, Eb, Eb, Eb, Eb});
    Group(1, 0xF7, {Ev | Iz | Sz, X, Ev | Sz | W, Ev | Sz | W, Ev | Sz, Ev | Sz, Ev | Sz, Ev | Sz},
          {Ev | Iz, X, Ev | W, Ev | W, Ev, Ev, Ev, Ev});
    constexpr std::uint16_t D = kModDword | Sz, Q = kModQword | Sz, Wd = kModWord | Sz, T = kModTbyte | Sz;
    constexpr std::uint16_t M = kModDword;  // environment and state images: no size
    constexpr std::uint16_t SS = St | STi, SR = St | STi | MF;
    Group(2, 0xD8, {D, D, D, D, D, D, D, D}, {SS, SS, STi, STi, SS, SS, SS, SS});
    Group(3, 0xD9, {D, X, D, D, M, Wd, M, Wd}, {STi, STi, 0, STi, 0, 0, 0, 0});
    Group(4, 0xDA, {D, D, D, D, D, D, D, D}, {SS, SS, SS, SS, X, 0, X, X});
    Group(5, 0xDB, {D, D, D, D, X, T, X, T}, {SS, SS, SS, SS, 0, SS, SS, X});
    Group(6, 0xDC, {Q, Q, Q, Q, Q, Q, Q, Q}, {SR, SR, STi, STi, SR, SR, SR, SR});
    Group(7, 0xDD, {Q, Q, Q, Q, M, X, M, Wd}, {STi, STi, STi, STi, STi, STi, X, X});
    Group(8, 0xDE, {Wd, Wd, Wd, Wd, Wd, Wd, Wd, Wd}, {SR, SR, STi, 0, SR, SR, SR, SR});
    Group(9, 0xDF, {Wd, Wd, Wd, Wd, T, Q, T, Q}, {STi, STi, STi, STi, kWriteEax, SS, SS, X});
  }

  consteval void BuildSsePrefixes() {
    auto set = [&](std::uint8_t mask, std::initializer_list<unsigned> ops) {
      for (unsigned op : ops) t.twoByteSsePrefixes[op] = mask;
    };
    constexpr std::uint8_t All = kSseNone | kSse66 | kSseF2 | kSseF3, Packed = kSseNone | kSse66;
    set(All, {0x10, 0x11, 0x12, 0x2A, 0x2C, 0x2D, 0x51, 0x58, 0x59, 0x5A, 0x5C, 0x5D, 0x5E, 0x5F, 0x70, 0xC2});
    set(Packed, {0x13, 0x14, 0x15, 0x17, 0x28, 0x29, 0x2B, 0x2E, 0x2F, 0x50, 0x54, 0x55, 0x56, 0x57, 0xC6,
                 0xC4, 0xC5, 0xE7, 0xF7});
    set(kSseNone | kSse66 | kSseF3, {0x16, 0x5B, 0x6F, 0x7E, 0x7F});
    set(kSseNone | kSseF3, {0x52, 0x53});
    set(kSse66, {0x6C, 0x6D});
    set(kSse66 | kSseF2, {0x7C, 0x7D, 0xD0});
    set(kSse66 | kSseF2 | kSseF3, {0xD6, 0xE6});
    set(kSseF2, {0xF0});
    set(kSseNone, {0x77, 0xAE, 0xC3});
    // Every other MMX operation takes an XMM form with 0x66 and nothing else.
    for (unsigned op = 0x60; op <= 0xFE; ++op) {
      bool mmx = (op >= 0x60 && op <= 0x76) || (op >= 0xD1 && op <= 0xFE);
      if (mmx && t.twoByteSsePrefixes[op] == 0 && t.twoByte[op] != X) t.twoByteSsePrefixes[op] = Packed;
    }
  }
};

// Constant-initialised: the crash path finds the tables ready, with no
// initialisation guard and nothing built at run time.
constexpr TOpcodeTables kTables = TBuilder().t;

// The group row of an opcode; -1 for opcodes without one.
constexpr int GroupRowIndex(unsigned opcode) {
  if (opcode == 0xF6 || opcode == 0xF7) return static_cast<int>(opcode - 0xF6);
  if (opcode >= 0xD8 && opcode <= 0xDF) return static_cast<int>(2 + opcode - 0xD8);
  return -1;
}

constexpr bool IsPrefixOrEscape(unsigned op) {
  for (unsigned prefix : {0x0Fu, 0x26u, 0x2Eu, 0x36u, 0x3Eu, 0x64u, 0x65u, 0x66u, 0x67u, 0xF0u, 0xF2u, 0xF3u})
    if (op == prefix) return true;
  return false;
}

// A template that chooses by the ModR/M fields needs an opcode that has them.
constexpr bool ChoiceNeedsModRm(std::uint16_t flags, std::uint8_t mnemonic) {
  if (!mnemonic || ModKind(flags) != 0) return true;
  return kMnemonicTemplates[mnemonic - 1].find_first_of("|-:") == std::string_view::npos;
}

consteval bool EveryInstructionHasAReadableMnemonic() {
  for (unsigned op = 0; op < 256; ++op) {
    const std::uint16_t one = kTables.oneByte[op], two = kTables.twoByte[op];
    const std::uint8_t oneMnemonic = kTables.oneByteMnemonic[op], twoMnemonic = kTables.twoByteMnemonic[op];
    if (one != X && !oneMnemonic && !IsPrefixOrEscape(op)) return false;
    if (two != X && !twoMnemonic && op != 0x0F) return false;
    if ((one != X && !ChoiceNeedsModRm(one, oneMnemonic)) || (two != X && !ChoiceNeedsModRm(two, twoMnemonic)))
      return false;
  }
  return true;
}

// The decoder looks a group row up by the opcode byte alone: only one-byte
// opcodes may refer to the group table, and each of them must have a row.
consteval bool GroupRowsMatchTheirOpcodes() {
  for (unsigned op = 0; op < 256; ++op) {
    const bool group = kTables.oneByte[op] != X && ModKind(kTables.oneByte[op]) == ModKind(kModGroup);
    if (group != (GroupRowIndex(op) >= 0)) return false;
    if (group && kTables.groups[GroupRowIndex(op)].opcode != op) return false;
    if (kTables.twoByte[op] != X && ModKind(kTables.twoByte[op]) == ModKind(kModGroup)) return false;
  }
  return true;
}

static_assert(EveryInstructionHasAReadableMnemonic(), "an opcode entry lost its mnemonic");
static_assert(GroupRowsMatchTheirOpcodes(), "a group row is missing or out of order");
static_assert(kTables.oneByte[0x90] == 0 && kMnemonicTemplates[kTables.oneByteMnemonic[0x90] - 1] == "nop");
static_assert(kTables.twoByte[0x0F] != X && kTables.twoByteMnemonic[0x0F] == 0, "3DNow! is named by its suffix");
static_assert(std::size(k3dNow) == 24);

}  // namespace

const TOpcodeTables& OpcodeTables() { return kTables; }

const TGroupRow* GroupRow(std::uint8_t opcode) {
  const int row = GroupRowIndex(opcode);
  return row < 0 ? nullptr : &kTables.groups[row];
}

std::size_t MnemonicTemplateCount() { return std::size(kMnemonicTemplates); }

std::string_view MnemonicTemplate(unsigned index) {
  if (index == 0 || index > std::size(kMnemonicTemplates)) return {};
  return kMnemonicTemplates[index - 1];
}

unsigned MnemonicIndex(std::string_view templateText) {
  for (unsigned i = 0; i < std::size(kMnemonicTemplates); ++i)
    if (kMnemonicTemplates[i] == templateText) return i + 1;
  return 0;
}

std::string_view Amd3dNowName(std::uint8_t suffix) {
  for (const TAmd3dNow& op : k3dNow)
    if (op.suffix == suffix) return op.name;
  return {};
}

}  // namespace ruvex
