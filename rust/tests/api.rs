//! The shared vectors, misuse, other digit maps and lifetimes of 0 or less.
mod common;

use common::{hex, unhex, vectors};
use idstamp::{CivilTime, Codec, Error, Verdict};

#[test]
fn vectors_issue_and_check_alike() {
    let v = vectors();
    assert_eq!(v["digit_map"], "5820739164");
    let issue = v["issue"].as_array().unwrap();
    let check = v["check"].as_array().unwrap();
    assert!(!issue.is_empty() && !check.is_empty());
    let mut dst = [0u8; 1100];
    for c in issue {
        let id = unhex(c["id_hex"].as_str().unwrap());
        let stamp = c["stamp"].as_u64().unwrap() as u32;
        let want = c["token_hex"].as_str().unwrap();
        assert_eq!(hex(&idstamp::crypt_id_at(&id, stamp).unwrap()), want, "{c}");
        let n = idstamp::issue_into(&mut dst, &id, stamp).unwrap();
        assert_eq!(hex(&dst[..n]), want, "issue_into {c}");
        // Read back at its own stamp, every issued token is fresh.
        let r = idstamp::inspect_at(&unhex(want), 1, stamp);
        assert_eq!(
            (r.verdict, r.id.as_deref()),
            (Verdict::Fresh, Some(&id[..])),
            "{c}"
        );
    }
    let mut reasons = 0;
    for c in check {
        let token = unhex(c["token_hex"].as_str().unwrap());
        let lifetime = c["lifetime"].as_i64().unwrap() as i32;
        let now = c["now"].as_u64().unwrap() as u32;
        let r = idstamp::inspect_at(&token, lifetime, now);
        assert_eq!(r.verdict.to_string(), c["verdict"].as_str().unwrap(), "{c}");
        assert_eq!(r.reason, c["reason"].as_str(), "{c}");
        reasons += usize::from(r.reason.is_some());
        let want_id = c["id_hex"].as_str().map(unhex);
        assert_eq!(r.id, want_id, "{c}");
        if r.verdict == Verdict::Malformed {
            assert_eq!((r.stamp, r.now, r.age_ms), (0, 0, 0), "{c}");
        } else {
            assert_eq!(
                (r.now, r.age_ms),
                (now, i64::from(now).wrapping_sub(r.stamp)),
                "{c}"
            );
        }
        let fresh = (r.verdict == Verdict::Fresh).then(|| r.id.clone().unwrap());
        assert_eq!(idstamp::decrypt_id_at(&token, lifetime, now), fresh, "{c}");
    }
    assert!(reasons > 0, "the vectors hold no malformed token");
}

#[test]
fn misuse_is_refused_with_a_message() {
    let long = vec![b'a'; idstamp::MAX_ID_LENGTH + 1];
    for (id, what) in [
        (&b""[..], "not 0"),
        (&long[..], "not 1000"),
        (b"a\0b", "zero byte"),
    ] {
        let e = idstamp::crypt_id_at(id, 5).unwrap_err();
        assert!(e.to_string().contains(what), "{e}");
        assert!(matches!(
            idstamp::crypt_id(id),
            Err(Error::IdLength(_) | Error::IdZeroByte)
        ));
        assert!(idstamp::issue_into(&mut [0; 2000], id, 5).is_err());
    }
    assert!(idstamp::crypt_id_at(&long[1..], 5).is_ok());
    // A destination one byte short is refused untouched; exact is enough.
    let mut dst = [b'x'; 12];
    let e = idstamp::issue_into(&mut dst[..11], b"ABC", 123_456).unwrap_err();
    assert!(
        matches!(
            e,
            Error::BufferTooShort {
                needed: 12,
                given: 11
            }
        ),
        "{e}"
    );
    assert_eq!(dst, [b'x'; 12]);
    assert_eq!(idstamp::issue_into(&mut dst, b"ABC", 123_456).unwrap(), 12);
    for map in [
        "",
        "012345678",
        "0123456789a",
        "0123456780",
        "012345678a",
        "０123456789",
    ] {
        let e = Codec::new(map).unwrap_err();
        assert!(
            e.to_string().contains("digit map") && e.to_string().contains(&format!("{map:?}")),
            "{e}"
        );
    }
}

#[test]
fn other_maps_read_only_their_own_tokens() {
    let plain = Codec::new("0123456789").unwrap();
    let other = Codec::new("9876543210").unwrap();
    let default = Codec::default();
    // With the identity map a token is the plain token, only shuffled.
    assert_eq!(plain.crypt_id_at(b"abcdefgh", 7).unwrap(), b"0h8fbdceag07");
    for codec in [&plain, &other, &default] {
        let token = codec.crypt_id_at(b"id 42", 3_000_000).unwrap();
        assert_eq!(
            codec.decrypt_id_at(&token, 30, 3_000_000).as_deref(),
            Some(&b"id 42"[..])
        );
        assert_eq!(
            codec.inspect_at(&token, 30, 3_000_000),
            idstamp::Codec::default().inspect_at(
                &default.crypt_id_at(b"id 42", 3_000_000).unwrap(),
                30,
                3_000_000
            )
        );
    }
    let token = other.crypt_id_at(b"id 42", 3_000_000).unwrap();
    assert_ne!(
        default.decrypt_id_at(&token, 30, 3_000_000).as_deref(),
        Some(&b"id 42"[..])
    );
    fn shared<T: Send + Sync>(_: &T) {}
    shared(&default);
}

#[test]
fn lifetimes_of_zero_or_less_accept_nothing() {
    let token = idstamp::crypt_id_at(b"ABC", 1000).unwrap();
    for lifetime in [0, -1, i32::MIN] {
        let r = idstamp::inspect_at(&token, lifetime, 1000);
        assert_eq!((r.verdict, r.reason), (Verdict::Expired, None));
        assert_eq!(idstamp::decrypt_id_at(&token, lifetime, 1000), None);
        assert_eq!(idstamp::decrypt_id(&token, lifetime).unwrap(), None);
    }
    assert_eq!(idstamp::inspect_at(&token, 1, 1000).verdict, Verdict::Fresh);
}

#[test]
fn the_clock_issues_tokens_fresh_by_itself() {
    let before = idstamp::year_stamp().unwrap();
    let token = idstamp::crypt_id(b"now").unwrap();
    let r = idstamp::inspect(&token, 1).unwrap();
    assert!(r.stamp >= i64::from(before) || r.now < before, "{r:?}"); // or the stamp wrapped
    assert_eq!(
        idstamp::decrypt_id(&token, 5).unwrap().as_deref(),
        Some(&b"now"[..])
    );
    assert_eq!(
        idstamp::inspect(b"12", 5).unwrap().reason,
        Some("too short")
    );
}

#[test]
fn civil_fields_are_clamped() {
    let t = |year, month, day, hour, minute, second, millisecond| CivilTime {
        year,
        month,
        day,
        hour,
        minute,
        second,
        millisecond,
    };
    let day = 86_400_000u64;
    let cases = [
        (t(2024, 1, 1, 0, 0, 0, 0), 0),
        (t(2024, 3, 1, 0, 0, 0, 0), 60 * day),
        (t(2023, 3, 1, 0, 0, 0, 0), 59 * day),
        (t(2100, 2, 30, 0, 0, 0, 0), 58 * day), // 2100 is no leap year
        (t(2000, 12, 31, 23, 59, 60, 1500), 365 * day + day - 1),
        (t(0, 0, 0, 99, 99, 99, 9999), day - 1), // year 1, January
        (t(10_000, 13, 32, 0, 0, 0, 0), 364 * day), // 9999 is no leap year
    ];
    for (civil, ms) in cases {
        assert_eq!(idstamp::year_stamp_of(&civil), ms as u32, "{civil:?}");
    }
}
