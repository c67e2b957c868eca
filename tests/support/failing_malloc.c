/* An allocator that fails on request, preloaded into a program under test.
 *
 *   IDSTAMP_FAIL_MALLOC=N     the Nth allocation of the process fails
 *   IDSTAMP_FAIL_MALLOC=all   every allocation fails
 *   IDSTAMP_FAIL_MALLOC=count none fails; the count goes to stderr at exit
 *
 * Every other call goes to glibc's own allocator through its __libc_ names,
 * which, unlike dlsym, allocate nothing themselves. */
#include <errno.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>

extern void* __libc_malloc(size_t size);
extern void* __libc_calloc(size_t count, size_t size);
extern void* __libc_realloc(void* p, size_t size);
extern void* __libc_memalign(size_t alignment, size_t size);

static long fail_at = -2; /* -2 unread, -1 all, 0 none */
static long calls;

static int fails(void) {
  if (fail_at == -2) {
    const char* setting = getenv("IDSTAMP_FAIL_MALLOC");
    if (setting == NULL) {
      fail_at = 0;
    } else if (setting[0] == 'a') {
      fail_at = -1;
    } else {
      fail_at = strtol(setting, NULL, 10);
    }
  }
  ++calls;
  if (fail_at == -1 || calls == fail_at) {
    errno = ENOMEM;
    return 1;
  }
  return 0;
}

void* malloc(size_t size) { return fails() ? NULL : __libc_malloc(size); }
void* calloc(size_t count, size_t size) { return fails() ? NULL : __libc_calloc(count, size); }
void* realloc(void* p, size_t size) { return fails() ? NULL : __libc_realloc(p, size); }
void* memalign(size_t alignment, size_t size) {
  return fails() ? NULL : __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size) { return memalign(alignment, size); }
int posix_memalign(void** out, size_t alignment, size_t size) {
  void* p = memalign(alignment, size);
  if (p == NULL) return ENOMEM;
  *out = p;
  return 0;
}

__attribute__((destructor)) static void report(void) {
  const char* setting = getenv("IDSTAMP_FAIL_MALLOC");
  if (setting != NULL && setting[0] == 'c') fprintf(stderr, "allocations: %ld\n", calls);
}
