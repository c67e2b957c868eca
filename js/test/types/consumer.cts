// The same package from CommonJS.
import idstamp = require("idstamp");

const token: Uint8Array = idstamp.cryptId("ABC", 411196474);
const id: Uint8Array | null = idstamp.decryptId(token, 30, 411196474);
export = { token, id, report: idstamp.inspectToken(token) };
