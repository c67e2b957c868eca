//! Times inspect_at and decrypt_id_at against an MD5 digest of the same
//! token, and issue_into against crypt_id_at, each by its fastest of several
//! rounds. Prints the ratios; judges nothing.
use md5::{Digest, Md5};
use std::hint::black_box;
use std::time::{Duration, Instant};

const ROUNDS: usize = 40;

/// The fastest time of one call, over ROUNDS rounds of `calls` calls each.
fn fastest(calls: u32, mut f: impl FnMut()) -> f64 {
    let mut best = Duration::MAX;
    for _ in 0..ROUNDS {
        let start = Instant::now();
        for _ in 0..calls {
            f();
        }
        best = best.min(start.elapsed());
    }
    best.as_secs_f64() * 1e9 / f64::from(calls)
}

fn main() {
    let stamp = 411_196_474;
    let token = idstamp::crypt_id_at(b"user-1234@example.org", stamp).unwrap();
    let calls = 20_000;
    let md5 = fastest(calls, || {
        black_box(Md5::digest(black_box(&token[..])));
    });
    let inspect = fastest(calls, || {
        black_box(idstamp::inspect_at(black_box(&token), 30, stamp + 1000));
    });
    let decrypt = fastest(calls, || {
        black_box(idstamp::decrypt_id_at(black_box(&token), 30, stamp + 1000));
    });
    let mut dst = [0u8; 64];
    let issue = fastest(calls, || {
        black_box(
            idstamp::issue_into(&mut dst, black_box(b"user-1234@example.org"), stamp).unwrap(),
        );
    });
    let crypt = fastest(calls, || {
        black_box(idstamp::crypt_id_at(black_box(b"user-1234@example.org"), stamp).unwrap());
    });
    println!(
        "token of {} bytes, fastest of {ROUNDS} rounds of {calls} calls",
        token.len()
    );
    println!("md5 digest     {md5:8.1} ns");
    println!(
        "inspect_at     {inspect:8.1} ns  {:.2} x md5",
        inspect / md5
    );
    println!(
        "decrypt_id_at  {decrypt:8.1} ns  {:.2} x md5",
        decrypt / md5
    );
    println!(
        "issue_into     {issue:8.1} ns  {:.2} x crypt_id_at ({crypt:.1} ns)",
        issue / crypt
    );
}
