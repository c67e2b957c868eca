//! The conformance corpus written from idstamp-inspect: every token row
//! judged by inspect_at (and decrypt_id_at), every year-stamp row by
//! year_stamp_of on the fields the C library gives for its instant in its
//! zone. Skipped unless IDSTAMP_CORPUS names the corpus directory.
mod common;

use common::{hex, unhex};
use idstamp::{CivilTime, Verdict};
use std::collections::BTreeSet;
use std::path::PathBuf;

/// The rows of a corpus file after its header, split on tabs; `None` when
/// IDSTAMP_CORPUS is unset.
fn rows(name: &str, header: &str) -> Option<Vec<Vec<String>>> {
    let Some(dir) = std::env::var_os("IDSTAMP_CORPUS") else {
        println!("skipped: IDSTAMP_CORPUS names no corpus directory");
        return None;
    };
    let path = PathBuf::from(dir).join(name);
    let text = std::fs::read_to_string(&path).unwrap_or_else(|e| panic!("{}: {e}", path.display()));
    let mut lines = text.lines();
    assert_eq!(lines.next(), Some(header), "{name}: header");
    let width = header.split('\t').count();
    let rows: Vec<Vec<String>> = lines
        .map(|l| {
            let f: Vec<String> = l.split('\t').map(str::to_owned).collect();
            assert_eq!(f.len(), width, "{name}: {l:?}");
            f
        })
        .collect();
    assert!(!rows.is_empty(), "{name} holds no rows");
    Some(rows)
}

#[test]
fn corpus_tokens() {
    let header = "token_hex\tlifetime\tnow\tverdict\treason\tid_hex\tstamp\tage_ms";
    let Some(rows) = rows("tokens.tsv", header) else {
        return;
    };
    let mut seen = BTreeSet::new();
    for (i, f) in rows.iter().enumerate() {
        let token = unhex(&f[0]);
        let lifetime: i32 = f[1].parse().unwrap();
        let now: u32 = f[2].parse().unwrap();
        let r = idstamp::inspect_at(&token, lifetime, now);
        let got = if r.verdict == Verdict::Malformed {
            assert_eq!(
                (&r.id, r.stamp, r.now, r.age_ms),
                (&None, 0, 0, 0),
                "row {}",
                i + 2
            );
            vec![
                r.verdict.to_string(),
                r.reason.unwrap_or("?").into(),
                String::new(),
                String::new(),
                String::new(),
            ]
        } else {
            assert_eq!((r.reason, r.now), (None, now), "row {}", i + 2);
            let id = hex(r.id.as_deref().unwrap());
            vec![
                r.verdict.to_string(),
                String::new(),
                id,
                r.stamp.to_string(),
                r.age_ms.to_string(),
            ]
        };
        assert_eq!(got, f[3..], "tokens.tsv row {}", i + 2);
        let fresh = (r.verdict == Verdict::Fresh).then(|| unhex(&f[5]));
        assert_eq!(
            idstamp::decrypt_id_at(&token, lifetime, now),
            fresh,
            "row {}",
            i + 2
        );
        seen.insert(format!("{} {}", f[3], f[4]).trim().to_owned());
    }
    for kind in [
        "fresh",
        "expired",
        "ahead",
        "malformed too short",
        "malformed bad length field",
        "malformed no stamp",
        "malformed zero byte in the id",
        "malformed bad stamp",
    ] {
        assert!(
            seen.contains(kind),
            "the corpus holds no token that is {kind}"
        );
    }
    println!("{} tokens judged alike", rows.len());
}

/// The C library's wall-clock fields of `ms` after 1970 in the zone TZ names.
fn local_fields(ms: i64) -> CivilTime {
    let seconds = ms.div_euclid(1000) as libc::time_t;
    // SAFETY: tm is integers and a pointer, for which zeros are valid; both
    // pointers passed to localtime_r are to live locals.
    #[allow(unsafe_code)]
    let tm = unsafe {
        let mut tm: libc::tm = std::mem::zeroed();
        assert!(
            !libc::localtime_r(&seconds, &mut tm).is_null(),
            "localtime_r at {ms}"
        );
        tm
    };
    let small = |v: libc::c_int| u8::try_from(v).unwrap();
    CivilTime {
        year: tm.tm_year + 1900,
        month: small(tm.tm_mon + 1),
        day: small(tm.tm_mday),
        hour: small(tm.tm_hour),
        minute: small(tm.tm_min),
        second: small(tm.tm_sec),
        millisecond: ms.rem_euclid(1000) as u16,
    }
}

extern "C" {
    fn tzset();
}

#[test]
fn corpus_year_stamps() {
    let Some(rows) = rows("year_stamps.tsv", "zone\tinstant_ms\tstamp") else {
        return;
    };
    // One zone at a time: TZ is set in this test alone, which no other test
    // of this file reads, and the rows are grouped so each zone is set once.
    let zones: BTreeSet<&str> = rows.iter().map(|f| f[0].as_str()).collect();
    for zone in zones {
        std::env::set_var("TZ", format!(":{zone}"));
        // SAFETY: tzset takes no arguments and re-reads TZ, set just above.
        #[allow(unsafe_code)]
        unsafe {
            tzset()
        };
        for f in rows.iter().filter(|f| f[0] == zone) {
            let ms: i64 = f[1].parse().unwrap();
            let got = idstamp::year_stamp_of(&local_fields(ms));
            assert_eq!(got.to_string(), f[2], "year_stamps.tsv: {zone} at {ms}");
        }
    }
    std::env::remove_var("TZ");
    println!("{} year stamps alike", rows.len());
}
