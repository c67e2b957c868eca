// Wrong uses the types must reject: each line below fails to compile, and
// tsc fails if any of them is accepted.
import { cryptId, decryptId, inspectToken, createCodec, yearStamp, yearStampAt } from "idstamp";

// @ts-expect-error an id is a string or bytes
cryptId(12345);
// @ts-expect-error an ArrayBuffer is not a Uint8Array
cryptId(new ArrayBuffer(3));
// @ts-expect-error a stamp is a number
cryptId("ABC", 411196474n);
// @ts-expect-error a lifetime is a number
decryptId("5109B8788C4A757", "30");
// @ts-expect-error a refused token gives null
export const id: Uint8Array = decryptId("5109B8788C4A757");
// @ts-expect-error the stamp in a report is a bigint
export const stamp: number | null = inspectToken("5109B8788C4A757").stamp;
// @ts-expect-error there is no such verdict
export const stale = inspectToken("x").verdict === "stale";
// @ts-expect-error a digit map is a string
createCodec([5, 8, 2, 0, 7, 3, 9, 1, 6, 4]);
// @ts-expect-error yearStamp reads the clock and takes no argument
yearStamp(new Date());
// @ts-expect-error yearStampAt needs the zone
yearStampAt(Date.now());
// @ts-expect-error an instant is a Date or a number, not a date string
yearStampAt("2021-07-01T10:00:00Z", "UTC");
