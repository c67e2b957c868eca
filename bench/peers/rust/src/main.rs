//! idstamp's check against the Rust crates a user would pick instead, in one
//! run: jsonwebtoken verifying an HS256 token, and fernet verifying and
//! decrypting a Fernet token. Each peer checks a token it made itself before
//! the loop. Every call is timed in turns, in rounds, and given by its
//! fastest round: a busy machine only adds time.
//!
//!     cargo run --release -- [ROUNDS]
use std::hint::black_box;
use std::time::{Instant, SystemTime, UNIX_EPOCH};

use jsonwebtoken::{decode, encode, Algorithm, DecodingKey, EncodingKey, Header, Validation};
use serde::{Deserialize, Serialize};

const ID: &[u8] = b"user-20489113";
const STAMP: u32 = 411_196_474;
const KEY: &[u8] = b"a key of thirty-two bytes, fixed";

#[derive(Serialize, Deserialize)]
struct Claims {
    sub: String,
    exp: u64,
}

struct Check<'a> {
    name: &'static str,
    count: u32,
    call: Box<dyn Fn() -> bool + 'a>,
    best: f64,
}

fn fail(what: &str) -> ! {
    eprintln!("peers: {what}");
    std::process::exit(1)
}

fn main() {
    let rounds: u32 = std::env::args().nth(1).map_or(20, |r| {
        r.parse().unwrap_or_else(|_| fail("ROUNDS is a number"))
    });

    let token = idstamp::crypt_id_at(ID, STAMP).unwrap_or_else(|_| fail("no idstamp token"));
    let exp = SystemTime::now()
        .duration_since(UNIX_EPOCH)
        .map_or(0, |d| d.as_secs())
        + 3600;
    let claims = Claims {
        sub: String::from_utf8_lossy(ID).into_owned(),
        exp,
    };
    let signed = encode(
        &Header::new(Algorithm::HS256),
        &claims,
        &EncodingKey::from_secret(KEY),
    )
    .unwrap_or_else(|_| fail("no JWT"));
    let decoding_key = DecodingKey::from_secret(KEY);
    let validation = Validation::new(Algorithm::HS256);
    let fernet = fernet::Fernet::new(&fernet::Fernet::generate_key())
        .unwrap_or_else(|| fail("no Fernet key"));
    let ftoken = fernet.encrypt(ID);

    let mut checks = [
        Check {
            name: "idstamp decrypt_id_at",
            count: 200_000,
            call: Box::new(|| {
                idstamp::decrypt_id_at(black_box(&token), 30, STAMP).as_deref() == Some(ID)
            }),
            best: f64::INFINITY,
        },
        Check {
            name: "jsonwebtoken decode (HS256)",
            count: 10_000,
            call: Box::new(|| {
                decode::<Claims>(black_box(&signed), &decoding_key, &validation)
                    .is_ok_and(|t| t.claims.sub.as_bytes() == ID)
            }),
            best: f64::INFINITY,
        },
        Check {
            name: "fernet decrypt_with_ttl",
            count: 10_000,
            call: Box::new(|| {
                fernet
                    .decrypt_with_ttl(black_box(&ftoken), 1800)
                    .is_ok_and(|id| id == ID)
            }),
            best: f64::INFINITY,
        },
    ];
    for _ in 0..rounds {
        for c in checks.iter_mut() {
            let mut ok = true;
            let start = Instant::now();
            for _ in 0..c.count {
                ok &= (c.call)();
            }
            let ns = start.elapsed().as_nanos() as f64 / f64::from(c.count);
            if !ok {
                fail(&format!("{} refused its own token", c.name));
            }
            c.best = c.best.min(ns);
        }
    }
    println!(
        "Rust, {}-byte idstamp token, fastest of {rounds} rounds",
        token.len()
    );
    println!("{:<40} {:>10} {:>8}", "check", "ns/call", "ratio");
    for c in &checks {
        println!(
            "{:<40} {:>10.1} {:>7.1}x",
            c.name,
            c.best,
            c.best / checks[0].best
        );
    }
}
