//! Helpers the test files share.
#![allow(dead_code)]

/// The bytes of a hex text.
pub fn unhex(s: &str) -> Vec<u8> {
    assert!(s.len() % 2 == 0, "odd hex {s:?}");
    (0..s.len())
        .step_by(2)
        .map(|i| u8::from_str_radix(&s[i..i + 2], 16).expect("hex"))
        .collect()
}

/// The hex text of bytes.
pub fn hex(b: &[u8]) -> String {
    b.iter().map(|x| format!("{x:02x}")).collect()
}

/// docs/token-vectors.json.
pub fn vectors() -> serde_json::Value {
    let path = concat!(env!("CARGO_MANIFEST_DIR"), "/../docs/token-vectors.json");
    let text = std::fs::read_to_string(path).expect("the shared vectors");
    serde_json::from_str(&text).expect("vectors as JSON")
}
