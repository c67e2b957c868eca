//! Prints the year stamp of now by the local clock, or fails naming TZ.
fn main() {
    match idstamp::year_stamp() {
        Ok(stamp) => println!("{stamp}"),
        Err(e) => {
            eprintln!("{e}");
            std::process::exit(1);
        }
    }
}
