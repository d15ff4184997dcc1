/*
 * Preloaded into 32-bit Wine processes that run under qemu-user (i386 on a
 * 64-bit host). At start Wine reserves the address space above 0x7ffe0000
 * by asking mmap for it with MAP_FIXED_NOREPLACE and halving every range
 * that it does not get. qemu 7.2 grants no such hinted request up there, so
 * each process start made some 65,000 failing calls, each costing qemu a
 * page-by-page search: about a minute of CPU per process. Here those
 * reservations are granted at once without mapping anything; Wine maps
 * that area later with MAP_FIXED only, which qemu does grant.
 *
 * Built freestanding (no 32-bit C library headers are needed):
 *   clang --target=i386-linux-gnu -O2 -fPIC -shared -nostdlib
 */
typedef unsigned int size_t;
typedef long long off64_t;

extern void *dlsym(void *handle, const char *name);
#define RTLD_NEXT ((void *)-1l)

#define PROT_NONE 0
#define MAP_NORESERVE 0x4000
#define MAP_FIXED_NOREPLACE 0x100000
#define RESERVE_FLAGS (MAP_FIXED_NOREPLACE | MAP_NORESERVE)

/* Wine's user space limit; the shared user data page sits here. */
#define HIGH_AREA 0x7ffe0000UL

typedef void *(*mmap64_fn)(void *, size_t, int, int, int, off64_t);

void *mmap64(void *addr, size_t len, int prot, int flags, int fd, off64_t off) {
  static mmap64_fn next;
  if ((flags & RESERVE_FLAGS) == RESERVE_FLAGS && prot == PROT_NONE &&
      (unsigned long)addr >= HIGH_AREA) {
    return addr;
  }
  if (!next) next = (mmap64_fn)dlsym(RTLD_NEXT, "mmap64");
  return next(addr, len, prot, flags, fd, off);
}
