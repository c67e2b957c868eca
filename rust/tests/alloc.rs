//! Allocations counted by a global allocator: inspect_at and decrypt_id_at
//! take at most one (the id) and none for a malformed token; issue_into none.
use std::alloc::{GlobalAlloc, Layout, System};
use std::cell::Cell;

struct Counting;

thread_local! {
    static ALLOCATIONS: Cell<usize> = const { Cell::new(0) };
}

// SAFETY: every call is passed on to the system allocator unchanged.
#[allow(unsafe_code)]
unsafe impl GlobalAlloc for Counting {
    unsafe fn alloc(&self, layout: Layout) -> *mut u8 {
        ALLOCATIONS.with(|n| n.set(n.get() + 1));
        // SAFETY: the caller's contract for alloc is System's.
        unsafe { System.alloc(layout) }
    }
    unsafe fn dealloc(&self, ptr: *mut u8, layout: Layout) {
        // SAFETY: ptr came from System.alloc with this layout.
        unsafe { System.dealloc(ptr, layout) }
    }
    unsafe fn realloc(&self, ptr: *mut u8, layout: Layout, size: usize) -> *mut u8 {
        ALLOCATIONS.with(|n| n.set(n.get() + 1));
        // SAFETY: the caller's contract for realloc is System's.
        unsafe { System.realloc(ptr, layout, size) }
    }
}

#[global_allocator]
static COUNTING: Counting = Counting;

/// The allocations `f` makes on this thread, and its result.
fn counted<T>(f: impl FnOnce() -> T) -> (usize, T) {
    let before = ALLOCATIONS.with(Cell::get);
    let out = f();
    (ALLOCATIONS.with(Cell::get) - before, out)
}

#[test]
fn allocations_are_counted() {
    let long = vec![b'x'; 999];
    let short = idstamp::crypt_id_at(b"ABC", 4_000_000_000).unwrap();
    let full = idstamp::crypt_id_at(&long, 4_000_000_000).unwrap();
    for (token, id) in [(&short, &b"ABC"[..]), (&full, &long[..])] {
        for (now, verdict) in [
            (4_000_000_000, "fresh"),
            (4_100_000_000, "expired"),
            (0, "ahead"),
        ] {
            let (n, r) = counted(|| idstamp::inspect_at(token, 30, now));
            assert_eq!((n, r.verdict.to_string().as_str()), (1, verdict));
            assert_eq!(r.id.as_deref(), Some(id));
            let (n, got) = counted(|| idstamp::decrypt_id_at(token, 30, now));
            assert_eq!(
                (n, got.is_some()),
                (usize::from(verdict == "fresh"), verdict == "fresh")
            );
        }
    }
    // Malformed, long or short, the last check (a bad stamp) among them.
    let mut bad_stamp = full.clone();
    let last = full.len() - 1;
    bad_stamp[last] = b'x'; // it stays in place: the stamp's last digit
    let mut zero = full.clone();
    zero[4] = 0; // the id's second byte, which stays in place too
    for token in [&b"12"[..], b"x00A5", &zero, &bad_stamp] {
        let (n, r) = counted(|| idstamp::inspect_at(token, 30, 0));
        assert_eq!(
            (n, r.verdict),
            (0, idstamp::Verdict::Malformed),
            "{:?}",
            r.reason
        );
        assert!(
            token.len() < 9
                || r.reason
                    .unwrap()
                    .contains(if token[4] == 0 { "zero" } else { "stamp" })
        );
        assert_eq!(counted(|| idstamp::decrypt_id_at(token, 30, 0)), (0, None));
    }
    let mut dst = [0u8; 1100];
    let (n, len) = counted(|| idstamp::issue_into(&mut dst, &long, u32::MAX).unwrap());
    assert_eq!(
        (n, &dst[..len]),
        (0, &idstamp::crypt_id_at(&long, u32::MAX).unwrap()[..])
    );
    assert_eq!(
        counted(|| idstamp::issue_into(&mut dst[..5], b"ABC", 7).is_err()),
        (0, true)
    );
}
