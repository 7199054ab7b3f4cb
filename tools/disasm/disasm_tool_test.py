#!/usr/bin/env python3
"""The disassembler tool end to end: raw 32-bit and 64-bit bytes assembled by
llvm-mc, real 32-bit and 64-bit DLLs by export name, and its errors."""
import os, subprocess, sys, tempfile

tool = sys.argv[1]
src = os.environ.get("KELVANE_SOURCE_DIR", ".")
failures = []

def run(*args):
    p = subprocess.run([tool, *args], capture_output=True, text=True)
    return p.returncode, p.stdout, p.stderr

def check(cond, what):
    if not cond:
        failures.append(what)

asm = "push %ebp\nmov %esp,%ebp\ncmpl $5,8(%ebp)\njg 1f\nfsubs (%eax)\n1: pop %ebp\nret\n"
with tempfile.TemporaryDirectory() as tmp:
    obj = os.path.join(tmp, "f.o")
    raw = os.path.join(tmp, "f.bin")
    subprocess.run(["llvm-mc", "-triple=i386", "-filetype=obj", "-o", obj], input=asm, text=True, check=True)
    subprocess.run(["i686-w64-mingw32-objcopy", "-O", "binary", "-j", ".text", obj, raw], check=True)
    rc, out, err = run("--raw", raw, "--base", "0x401000", "--count", "7")
    expected = [
        "00401000   push    ebp",
        "00401001   mov     ebp, esp",
        "00401003   cmp     dword ptr [ebp+8], 5",
        "00401007   jg      +2 ($40100b)",
        "00401009   fsub    dword ptr [eax]",
        "0040100b   pop     ebp",
        "0040100c   ret",
    ]
    check(rc == 0 and out.splitlines() == expected, "raw listing:\n" + out + err)
    rc, out, err = run("--raw", raw, "--base", "0x401000", "--function", "--exception", "0x401009")
    lines = out.splitlines()
    check(rc == 0 and lines[0].startswith("00401000 public sub_401000:") and
          "00401009 > fsub    dword ptr [eax]" in lines and "00401007   jg      loc_40100b" in lines,
          "function listing:\n" + out + err)

asm64 = "push %rbp\nmov %rsp,%rbp\nmovq 0x10(%rip),%rax\ncallq *%r8\npop %rbp\nret\n"
with tempfile.TemporaryDirectory() as tmp:
    obj = os.path.join(tmp, "f.o")
    raw = os.path.join(tmp, "f.bin")
    subprocess.run(["llvm-mc", "-triple=x86_64", "-filetype=obj", "-o", obj], input=asm64, text=True, check=True)
    subprocess.run(["x86_64-w64-mingw32-objcopy", "-O", "binary", "-j", ".text", obj, raw], check=True)
    rc, out, err = run("--raw", raw, "--base", "0x140001000", "--count", "6", "--64")
    expected = [
        "140001000   push    rbp",
        "140001001   mov     rbp, rsp",
        "140001004   mov     rax, [rip+$10]",
        "14000100b   call    r8",
        "14000100e   pop     rbp",
        "14000100f   ret",
    ]
    check(rc == 0 and out.splitlines() == expected, "raw 64-bit listing:\n" + out + err)
    rc, out, err = run("--raw", raw, "--base", "0x140001000", "--function", "--64")
    check(rc == 1 and "32-bit code only" in err, "64-bit function listing: " + err)

dll64 = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/msvcrt.dll"
if os.path.exists(dll64):
    rc, out, err = run(dll64, "strlen", "--count", "8")
    lines = out.splitlines()
    check(rc == 0 and len(lines) == 8 and not any(" db $" in l for l in lines) and len(lines[0].split()[0]) > 8,
          "64-bit msvcrt strlen:\n" + out + err)

dll = os.path.join(src, "build/test-images/i386-windows/msvcrt.dll")
if not os.path.exists(dll):
    failures.append(dll + " is missing: run scripts/fetch-test-images.sh")
else:
    rc, out, err = run(dll, "strlen", "--function")
    check(rc == 0 and "public strlen:" in out.splitlines()[0] and "ret" in out, "msvcrt strlen:\n" + out + err)
    rc, out, err = run(dll, "no_such_export")
    check(rc == 1 and "no export named" in err, "unknown export: " + err)

rc, out, err = run("/nonexistent/file.dll")
check(rc == 1 and err, "missing file")
rc, out, err = run("--raw", "x")
check(rc == 2 and "--base" in err, "raw without base: " + err)

for f in failures:
    print("FAIL:", f)
print("disasm tool: %d checks failed" % len(failures))
sys.exit(1 if failures else 0)
