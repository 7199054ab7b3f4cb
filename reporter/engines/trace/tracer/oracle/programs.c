/* Call chains for the tracer's oracle: each entry ends with a write to
   address 0, and the emulator records the true calls on the way there.
   Built once with frame pointers at -O0 and once without at -O2. */
#define NOINLINE __attribute__((noinline))

volatile int sink;

NOINLINE void Fault(void) { *(volatile int*)0 = sink; }

NOINLINE int Leaf(int x) {
  Fault();
  return x + sink;
}
NOINLINE int Middle(int x) { return Leaf(x + 1) * 3 + sink; }
NOINLINE int Outer(int x) { return Middle(x * 2) + 7 + sink; }
int entry_chain(void) { return Outer(1) + sink; }

NOINLINE int Recurse(int n) {
  if (n == 0) {
    Fault();
    return sink;
  }
  return Recurse(n - 1) + n + sink;
}
int entry_recursion(void) { return Recurse(5) + sink; }

NOINLINE int Target(int x) {
  Fault();
  return x * 5 + sink;
}
int (*volatile pointer)(int) = Target;
NOINLINE int ThroughPointer(int x) { return pointer(x + 3) + 1 + sink; }
int entry_pointer(void) { return ThroughPointer(4) + 2 + sink; }

/* Stale return addresses: Finished's call of Deeper has returned, and
   BigFrame's locals, never written before the fault, still hold it. */
NOINLINE int Deeper(int x) { return x + sink; }
NOINLINE int Finished(int x) {
  volatile int pad[8];
  pad[0] = x;
  return Deeper(x) + pad[0] + sink;
}
NOINLINE int BigFrame(int x) {
  volatile int room[32];
  Fault();
  room[31] = x;
  return room[31] + sink;
}
NOINLINE int AfterFinished(int x) {
  int r = Finished(x);
  return BigFrame(r) + sink;
}
int entry_stale(void) { return AfterFinished(9) + sink; }

/* A call through a bad pointer: the fault is the fetch at its target. */
void (*volatile bad)(void) = (void (*)(void))0x40;
NOINLINE int Jumper(int x) {
  bad();
  return x + sink;
}
NOINLINE int BeforeJumper(int x) { return Jumper(x) * 2 + sink; }
int entry_badjump(void) { return BeforeJumper(3) + sink; }

/* A walk that alternates two routines through pointers, with finished
   calls of helpers in between, leaving stale returns in every frame. */
NOINLINE int Helper(int x) {
  volatile int scratch[4];
  scratch[0] = x;
  return Deeper(scratch[0]) + sink;
}
NOINLINE int WalkEven(int depth);
NOINLINE int WalkOdd(int depth);
int (*volatile walkers[2])(int) = {WalkEven, WalkOdd};
NOINLINE int WalkEven(int depth) {
  volatile int room[6];
  int h = Helper(depth);
  if (depth == 0) Fault();
  room[0] = h;
  return walkers[(depth - 1) & 1](depth - 1) + room[0] + sink;
}
NOINLINE int WalkOdd(int depth) {
  int h = Helper(depth) + Finished(depth);
  return walkers[(depth - 1) & 1](depth - 1) + h + sink;
}
int entry_mixed(void) { return walkers[0](6) + sink; }

/* A deep stack: 200 frames of one routine. */
NOINLINE int Deep(int n) {
  if (n == 0) {
    Fault();
    return sink;
  }
  return Deep(n - 1) + 1 + sink;
}
int entry_deep(void) { return Deep(200) + sink; }

/* A tail call: TailCaller jumps to TailTarget instead of calling it, so
   TailCaller's frame is gone and TailTarget returns straight into
   BeforeTail. Sibling calls stay on for this function in every build. */
NOINLINE int TailTarget(int x) {
  Fault();
  return x * 7 + sink;
}
__attribute__((noinline, optimize("O2", "optimize-sibling-calls", "omit-frame-pointer"))) int TailCaller(int x) {
  return TailTarget(x + sink);
}
NOINLINE int BeforeTail(int x) { return TailCaller(x + 1) + 1 + sink; }
int entry_tail(void) { return BeforeTail(2) + sink; }

int __stdcall DllMainCRTStartup(void* module, unsigned reason, void* reserved) { return 1; }
