// The token debugger's page: judges the pasted lines with the idstamp
// package above (the `idstamp` object), at a moment and in a zone, and
// shows one chosen line in detail. Rows are drawn only where they are seen,
// and judged only then, so a paste of 100,000 lines shows at once; the
// summary counts them a slice at a time.
//
// Stable hooks for scripts: #verdict, #reason, #id-hex, #stamp, #now and
// #age-ms hold the chosen line's plain values (decimal numbers, lowercase
// hex, an empty text where a field does not apply). A link's token is
// chosen when it is loaded.
(function () {
  "use strict";

  const $ = (id) => document.getElementById(id);
  const ui = {
    tokens: $("tokens"), linkNote: $("link-note"), now: $("moment-now"), atMode: $("moment-at"),
    at: $("at"), zone: $("zone"), zones: $("zones"), lifetime: $("lifetime"), map: $("digit-map"),
    problem: $("problem"), clock: $("clock"), summary: $("summary"), rows: $("rows"),
    space: $("rows-space"), chosenLine: $("chosen-line"), timeline: $("timeline"),
    caption: $("timeline-caption"), copy: $("copy"), copyStatus: $("copy-status"), json: $("json"),
    issueId: $("issue-id"), issue: $("issue"), issued: $("issued"), judgeIssued: $("judge-issued"),
    issueProblem: $("issue-problem"), large: $("large"), largeNote: $("large-note"),
    clearLarge: $("clear-large"), editLarge: $("edit-large"), issuedHex: $("issued-hex"),
    hook: {
      verdict: $("verdict"), reason: $("reason"), idHex: $("id-hex"), stamp: $("stamp"),
      now: $("now"), ageMs: $("age-ms"),
    },
    idText: $("id-text"), stampTime: $("stamp-time"), nowTime: $("now-time"), ageText: $("age-text"),
    timeLeft: $("time-left"),
  };

  const ROW_HEIGHT = 26;
  const MS_PER_DAY = 86400000;
  const DEFAULT_MAP = "5820739164";
  const utf8 = new TextDecoder("utf-8", { fatal: true });

  // The one place the page reads the clock.
  const clock = () => Date.now();

  // ---------------------------------------------------------------------
  // What is asked: the lines, and the moment, zone, lifetime and map.

  const state = {
    text: "", // the text the lines were split from
    lines: [], // strings, or one Uint8Array: the link's token, byte for byte
    chosen: 0,
    question: null, // { codec, lifetime, moment } when the inputs read
    rowCache: new Map(), // line index -> judged row, for the current question
    countRun: 0, // the summary's count in progress; a newer one stops it
    issued: null, // the token last issued, as bytes
  };

  function splitLines(text) {
    if (text === "") return [];
    const lines = text.split("\n");
    if (lines[lines.length - 1] === "") lines.pop(); // the last line's feed
    return lines;
  }

  // A UTC timestamp for calendar fields, for years 1 to 99 too.
  function utcOf(y, mo, d, h = 0, mi = 0, s = 0, ms = 0) {
    const t = new Date(0);
    t.setUTCFullYear(y, mo - 1, d);
    t.setUTCHours(h, mi, s, ms);
    return t.getTime();
  }

  const pad = (v, n) => String(v).padStart(n, "0");
  function wallText(f) {
    return `${pad(f.y, 4)}-${pad(f.mo, 2)}-${pad(f.d, 2)} ${pad(f.h, 2)}:${pad(f.mi, 2)}:${pad(f.s, 2)}.${pad(f.ms, 3)}`;
  }
  function fieldsOfUtc(ms) {
    const t = new Date(ms);
    return {
      y: t.getUTCFullYear(), mo: t.getUTCMonth() + 1, d: t.getUTCDate(), h: t.getUTCHours(),
      mi: t.getUTCMinutes(), s: t.getUTCSeconds(), ms: t.getUTCMilliseconds(),
    };
  }

  // A wall-clock reading, as idstamp-inspect --at takes it: a date of years
  // 1 to 9999 that exists, a time of day, optional milliseconds.
  function readAt(text) {
    const m = /^(\d{4})-(\d{2})-(\d{2})[T ](\d{2}):(\d{2}):(\d{2})(?:\.(\d{3}))?$/.exec(text.trim());
    if (!m) return null;
    const [y, mo, d, h, mi, s] = m.slice(1, 7).map(Number);
    const ms = m[7] === undefined ? 0 : Number(m[7]);
    if (y < 1 || mo < 1 || mo > 12 || d < 1 || h > 23 || mi > 59 || s > 59) return null;
    const f = { y, mo, d, h, mi, s, ms };
    const back = fieldsOfUtc(utcOf(y, mo, d, h, mi, s, ms));
    return back.mo === mo && back.d === d ? f : null;
  }

  // The wall-clock fields of `instant` in `zone`, for showing the moment.
  let wallFormat = null;
  function wallOf(instant, zone) {
    if (wallFormat === null || wallFormat.resolvedOptions().timeZone !== zoneName(zone)) {
      wallFormat = new Intl.DateTimeFormat("en-US-u-ca-gregory-nu-latn", {
        timeZone: zone, hourCycle: "h23", year: "numeric", month: "numeric", day: "numeric",
        hour: "numeric", minute: "numeric", second: "numeric",
      });
    }
    const p = {};
    for (const part of wallFormat.formatToParts(instant)) p[part.type] = Number(part.value);
    return { y: p.year, mo: p.month, d: p.day, h: p.hour, mi: p.minute, s: p.second, ms: ((instant % 1000) + 1000) % 1000 };
  }

  function zoneName(zone) {
    try {
      return new Intl.DateTimeFormat("en-US", { timeZone: zone }).resolvedOptions().timeZone;
    } catch {
      return null;
    }
  }
  const browserZone = () => Intl.DateTimeFormat().resolvedOptions().timeZone || "UTC";

  // The moment judged: its year stamp, its wall clock and the ms since the
  // start of its year (not reduced), from which a stamp's time is told.
  function readMoment() {
    const zone = ui.zone.value.trim();
    if (zoneName(zone) === null) return `“${zone}” is not a time zone this browser knows.`;
    let wall;
    let stamp;
    if (ui.atMode.checked) {
      wall = readAt(ui.at.value);
      if (wall === null) return "The moment must be a date and time of years 1 to 9999: YYYY-MM-DD HH:MM:SS.mmm.";
      // A wall-clock reading's stamp follows from its fields alone, so an
      // hour that the zone skips or repeats still has one.
      stamp = idstamp.yearStampAt(utcOf(wall.y, wall.mo, wall.d, wall.h, wall.mi, wall.s, wall.ms), "UTC");
    } else {
      const instant = clock();
      stamp = idstamp.yearStampAt(instant, zone);
      wall = wallOf(instant, zone);
    }
    const intoYear = utcOf(wall.y, wall.mo, wall.d, wall.h, wall.mi, wall.s, wall.ms) - utcOf(wall.y, 1, 1);
    return { zone, wall, stamp, intoYear, live: !ui.atMode.checked };
  }

  function readQuestion() {
    const problems = [];
    const life = ui.lifetime.value.trim();
    const lifetime = /^\+?\d{1,10}$/.test(life) ? Number(life) : NaN;
    if (!(lifetime >= 1 && lifetime <= 2147483647)) {
      problems.push("The lifetime must be a whole number of minutes from 1 to 2147483647.");
    }
    let codec = null;
    const map = ui.map.value.trim();
    try {
      codec = map === DEFAULT_MAP ? idstamp : idstamp.createCodec(map);
    } catch {
      problems.push("The digit map must hold each of the ten digits once, such as 5820739164.");
    }
    const moment = readMoment();
    if (typeof moment === "string") problems.push(moment);
    ui.problem.textContent = problems.join(" ");
    return problems.length > 0 ? null : { codec, lifetime, moment };
  }

  // ---------------------------------------------------------------------
  // Judging one line.

  function hexOf(bytes) {
    let s = "";
    for (const b of bytes) s += (b < 16 ? "0" : "") + b.toString(16);
    return s;
  }

  function textOf(bytes) {
    try {
      return utf8.decode(bytes);
    } catch {
      return null;
    }
  }

  // The id as a person reads it: its text when it is UTF-8, with control
  // characters and backslashes escaped; otherwise printable ASCII as it is
  // and every other byte as \xHH, as idstamp-inspect prints it.
  function idTextOf(bytes) {
    let text = null;
    try {
      text = utf8.decode(bytes);
    } catch {
      text = null;
    }
    const hex = (c) => `\\x${pad(c.toString(16), 2)}`;
    if (text !== null) {
      return text.replace(/[\\\x00-\x1f\x7f]/g, (c) => (c === "\\" ? "\\\\" : hex(c.charCodeAt(0))));
    }
    let s = "";
    for (const b of bytes) s += b === 92 ? "\\\\" : b >= 32 && b < 127 ? String.fromCharCode(b) : hex(b);
    return s;
  }

  // A JSON string as idstamp-inspect writes one: quote and backslash
  // escaped, control bytes as \u00hh, everything else as it is.
  function jsonString(text) {
    return `"${text.replace(/["\\\x00-\x1f]/g, (c) =>
      c === '"' || c === "\\" ? `\\${c}` : `\\u00${pad(c.charCodeAt(0).toString(16), 2)}`)}"`;
  }

  // "-59.999 s", "29 min 59.999 s", as idstamp-inspect writes an age.
  function duration(ms) {
    const negative = ms < 0n;
    const m = negative ? -ms : ms;
    const minutes = m / 60000n;
    const rest = m % 60000n;
    return `${negative ? "-" : ""}${minutes > 0n ? `${minutes} min ` : ""}${rest / 1000n}.${pad(rest % 1000n, 3)} s`;
  }

  // The moment a stamp of age `age` names in the clock's own cycle of the
  // year stamp, or why there is none.
  function issuedAt(moment, age) {
    const { wall, intoYear } = moment;
    const yearMs = BigInt(utcOf(wall.y + 1, 1, 1) - utcOf(wall.y, 1, 1));
    const into = BigInt(intoYear);
    if (age > into || age <= into - yearMs) return "not within this year";
    return wallText(fieldsOfUtc(utcOf(wall.y, 1, 1) + Number(into - age)));
  }

  function judgeLine(question, line) {
    let token = line;
    if (typeof token === "string" && token.endsWith("\r")) token = token.slice(0, -1);
    let report;
    try {
      report = question.codec.inspectToken(token, question.lifetime, question.moment.stamp);
    } catch (e) {
      return { error: "not text that UTF-8 can hold (a lone surrogate)" };
    }
    return report;
  }

  function rowAt(index) {
    let row = state.rowCache.get(index);
    if (row === undefined) {
      row = judgeLine(state.question, state.lines[index]);
      if (state.rowCache.size > 4000) state.rowCache.clear();
      state.rowCache.set(index, row);
    }
    return row;
  }

  // The JSON idstamp-inspect --json prints for the report, newline included.
  function jsonOf(r, lifetime) {
    if (r.verdict === "malformed") {
      return `{"verdict": "malformed", "id_hex": null, "stamp": null, "now": null, "age_ms": null, "lifetime": ${lifetime}, "reason": ${jsonString(r.reason)}}\n`;
    }
    let id = "";
    try {
      id = `, "id": ${jsonString(utf8.decode(r.id))}`;
    } catch {
      id = ""; // not UTF-8: left out
    }
    return `{"verdict": "${r.verdict}", "id_hex": "${hexOf(r.id)}"${id}, "stamp": ${r.stamp}, "now": ${r.now}, "age_ms": ${r.ageMs}, "lifetime": ${lifetime}, "reason": null}\n`;
  }

  function timeLeft(r, lifetime) {
    if (r.verdict !== "fresh") return "";
    return duration(BigInt(lifetime) * 60000n - r.ageMs);
  }

  // ---------------------------------------------------------------------
  // The rows: only those in view exist.

  const drawn = new Map(); // index -> element

  function cell(text, className) {
    const span = document.createElement("span");
    span.textContent = text;
    if (className) span.className = className;
    return span;
  }

  function rowElement(index) {
    const el = document.createElement("div");
    el.className = "row";
    el.id = `line-${index + 1}`;
    el.setAttribute("role", "option");
    el.setAttribute("aria-posinset", String(index + 1));
    el.setAttribute("aria-setsize", String(state.lines.length));
    el.setAttribute("aria-selected", String(index === state.chosen));
    el.style.transform = `translateY(${index * ROW_HEIGHT}px)`;
    const r = rowAt(index);
    el.append(cell(String(index + 1), "num"));
    if (r.error) {
      el.append(cell("unreadable", "v-malformed"), cell(r.error));
      return el;
    }
    const verdict = r.verdict === "malformed" ? `malformed: ${r.reason}` : r.verdict;
    el.append(cell(verdict, `v-${r.verdict}`));
    el.title = verdict;
    if (r.verdict !== "malformed") {
      el.append(
        cell(idTextOf(r.id)),
        cell(hexOf(r.id)),
        cell(duration(r.ageMs), "num"),
        cell(timeLeft(r, state.question.lifetime), "num"),
        cell(issuedAt(state.question.moment, r.ageMs)),
      );
    }
    return el;
  }

  function drawRows(all) {
    const n = state.question === null ? 0 : state.lines.length;
    ui.space.style.height = `${n * ROW_HEIGHT}px`;
    const first = Math.max(0, Math.floor(ui.rows.scrollTop / ROW_HEIGHT) - 4);
    const last = Math.min(n, Math.ceil((ui.rows.scrollTop + ui.rows.clientHeight) / ROW_HEIGHT) + 4);
    for (const [index, el] of drawn) {
      if (all || index < first || index >= last) {
        el.remove();
        drawn.delete(index);
      }
    }
    for (let i = first; i < last; i++) {
      if (!drawn.has(i)) {
        const el = rowElement(i);
        drawn.set(i, el);
        ui.rows.append(el);
      }
    }
    if (n > 0) ui.rows.setAttribute("aria-activedescendant", `line-${state.chosen + 1}`);
    else ui.rows.removeAttribute("aria-activedescendant");
  }

  // ---------------------------------------------------------------------
  // The chosen line in detail, the hooks, the picture and the JSON.

  function setHooks(values) {
    for (const key of Object.keys(ui.hook)) ui.hook[key].textContent = values[key] ?? "";
  }

  function showChosen() {
    const q = state.question;
    const has = q !== null && state.chosen < state.lines.length;
    ui.chosenLine.textContent = has ? String(state.chosen + 1) : "";
    const r = has ? rowAt(state.chosen) : null;
    const blank = { idText: "", stampTime: "", nowTime: "", ageText: "", timeLeft: "" };
    ui.copy.disabled = r === null || Boolean(r.error);
    if (r === null || r.error) {
      setHooks({ verdict: r ? "unreadable" : "", reason: r ? r.error : "" });
      for (const key of Object.keys(blank)) ui[key].textContent = "";
      ui.json.value = "";
      drawTimeline(null);
      return;
    }
    const parsed = r.verdict !== "malformed";
    setHooks({
      verdict: r.verdict,
      reason: r.reason ?? "",
      idHex: parsed ? hexOf(r.id) : "",
      stamp: parsed ? String(r.stamp) : "",
      now: parsed ? String(r.now) : "",
      ageMs: parsed ? String(r.ageMs) : "",
    });
    ui.idText.textContent = parsed ? idTextOf(r.id) : "";
    ui.stampTime.textContent = parsed ? issuedAt(q.moment, r.ageMs) : "";
    ui.nowTime.textContent = parsed ? `${wallText(q.moment.wall)} in ${q.moment.zone}` : "";
    ui.ageText.textContent = parsed ? duration(r.ageMs) : "";
    ui.timeLeft.textContent = parsed ? timeLeft(r, q.lifetime) || "none" : "";
    ui.json.value = jsonOf(r, q.lifetime);
    drawTimeline(parsed ? r : null);
  }

  const SVG = "http://www.w3.org/2000/svg";
  function svg(name, attributes, text) {
    const el = document.createElementNS(SVG, name);
    for (const [k, v] of Object.entries(attributes)) el.setAttribute(k, String(v));
    if (text !== undefined) el.textContent = text;
    ui.timeline.append(el);
    return el;
  }

  // The acceptance window on a time line of the judging clock: from a
  // minute before the stamp (the tolerance ahead) to the end of the
  // lifetime, with the stamp and the moment judged. A moment far outside
  // is drawn at the edge, with an arrow.
  function drawTimeline(r) {
    ui.timeline.replaceChildren();
    if (r === null) {
      ui.caption.textContent = "";
      return;
    }
    const q = state.question;
    const end = q.lifetime * 60000;
    const span = end + 60000;
    const age = Number(r.ageMs);
    let lo = -60000 - span * 0.08;
    let hi = end + span * 0.08;
    if (age >= lo - span && age <= hi + span) {
      lo = Math.min(lo, age - span * 0.08);
      hi = Math.max(hi, age + span * 0.08);
    }
    const left = 20;
    const width = 600;
    const x = (t) => left + ((Math.min(Math.max(t, lo), hi) - lo) / (hi - lo)) * width;
    const tolerance = Math.max(x(0) - x(-60000), 4);
    svg("line", { x1: left, y1: 50, x2: left + width, y2: 50, stroke: "#8a94a6", "stroke-width": 1 });
    svg("rect", { x: x(0) - tolerance, y: 40, width: tolerance, height: 20, fill: "#f0b429" });
    svg("rect", { x: x(0), y: 40, width: Math.max(x(end) - x(0), 1), height: 20, fill: "#7ccf95" });
    svg("line", { x1: x(0), y1: 34, x2: x(0), y2: 66, stroke: "#1d2430", "stroke-width": 2 });
    svg("line", { x1: x(end), y1: 34, x2: x(end), y2: 66, stroke: "#a33a1e", "stroke-width": 2 });
    svg("text", { x: x(0) + 3, y: 80 }, "stamp");
    svg("text", { x: x(end), y: 80, "text-anchor": "end" }, `end of lifetime, ${q.lifetime} min`);
    const early = x(0) - tolerance < left + 200;
    svg("text", { x: early ? x(0) - tolerance : x(0), y: 97, "text-anchor": early ? "start" : "end" },
      "tolerance: up to 59.999 s ahead");
    const colour = { fresh: "#1c7c3c", expired: "#a33a1e", ahead: "#8a5a00" }[r.verdict];
    const at = x(age);
    svg("path", { d: `M${at - 6},18 L${at + 6},18 L${at},29 Z`, fill: colour });
    svg("line", { x1: at, y1: 29, x2: at, y2: 68, stroke: colour, "stroke-width": 2, "stroke-dasharray": "4 3" });
    const anchor = at < left + 120 ? "start" : at > left + width - 120 ? "end" : "middle";
    const far = age < lo ? "◀ " : "";
    const beyond = age > hi ? " ▶" : "";
    svg("text", { x: at, y: 13, "text-anchor": anchor, fill: colour },
      `${far}judged: ${duration(r.ageMs)} old${beyond}`);
    ui.caption.textContent =
      `Accepted while the clock is between 59.999 s before the stamp and ${q.lifetime} min after it; ` +
      `judged at an age of ${duration(r.ageMs)}: ${r.verdict}.`;
  }

  // ---------------------------------------------------------------------
  // The summary, counted a slice at a time.

  function count() {
    const run = ++state.countRun;
    const q = state.question;
    const n = q === null ? 0 : state.lines.length;
    if (n === 0) {
      ui.summary.textContent = q === null ? "" : "No lines yet: paste or type tokens above.";
      return;
    }
    ui.summary.textContent = `${n.toLocaleString("en-US")} line${n === 1 ? "" : "s"}; counting…`;
    const tally = { fresh: 0, expired: 0, ahead: 0, malformed: 0, unreadable: 0 };
    let i = 0;
    const slice = () => {
      if (run !== state.countRun) return;
      const stop = Math.min(n, i + 5000);
      for (; i < stop; i++) {
        const r = i < 4000 && state.rowCache.has(i) ? state.rowCache.get(i) : judgeLine(q, state.lines[i]);
        tally[r.error ? "unreadable" : r.verdict]++;
      }
      const parts = Object.entries(tally).filter(([, v]) => v > 0).map(([k, v]) => `${v.toLocaleString("en-US")} ${k}`);
      const lines = `${n.toLocaleString("en-US")} line${n === 1 ? "" : "s"}`;
      if (i < n) {
        ui.summary.textContent = `${lines}; counting… ${parts.join(", ")}`;
        setTimeout(slice, 0);
      } else {
        ui.summary.textContent = `${lines}: ${parts.join(", ")}`;
      }
    };
    setTimeout(slice, 0);
  }

  // ---------------------------------------------------------------------
  // Putting it together.

  function judgeAll() {
    state.question = readQuestion();
    state.rowCache.clear();
    if (state.chosen >= state.lines.length) state.chosen = Math.max(0, state.lines.length - 1);
    drawRows(true);
    showChosen();
    count();
    const m = state.question?.moment;
    ui.clock.textContent = m ? `Judging at ${wallText(m.wall)} in ${m.zone}${m.live ? " (now)" : ""}: year stamp ${m.stamp}.` : "";
  }

  function choose(index) {
    const n = state.lines.length;
    if (n === 0) return;
    state.chosen = Math.min(Math.max(index, 0), n - 1);
    const top = state.chosen * ROW_HEIGHT;
    if (top < ui.rows.scrollTop) ui.rows.scrollTop = top;
    else if (top + ROW_HEIGHT > ui.rows.scrollTop + ui.rows.clientHeight) {
      ui.rows.scrollTop = top + ROW_HEIGHT - ui.rows.clientHeight;
    }
    for (const [i, el] of drawn) el.setAttribute("aria-selected", String(i === state.chosen));
    drawRows(false);
    showChosen();
  }

  // Typing in a large paste waits for a pause before the lines are split
  // again; a small text is judged as it is typed.
  let pending = 0;
  function linesFrom(text) {
    clearTimeout(pending);
    state.text = text;
    state.lines = splitLines(text);
    ui.linkNote.hidden = true;
    judgeAll();
  }
  function tokensChanged() {
    clearTimeout(pending);
    if (ui.tokens.readOnly) return;
    if (ui.tokens.value.length < 100000) linesFrom(ui.tokens.value);
    else pending = setTimeout(() => linesFrom(ui.tokens.value), 120);
  }

  // A large paste is judged from the clipboard's text and kept out of the
  // box, which shows its first lines: a browser takes seconds to lay out a
  // box of 100,000 lines, and as long again for every key typed into it.
  const LARGE = 100000; // characters
  const PREVIEW_LINES = 200;
  function pasted(e) {
    const text = e.clipboardData?.getData("text/plain") ?? "";
    const box = ui.tokens;
    const whole = box.value.slice(0, box.selectionStart) + text + box.value.slice(box.selectionEnd);
    if (whole.length < LARGE) return;
    e.preventDefault();
    linesFrom(whole);
    box.value = `${state.lines.slice(0, PREVIEW_LINES).join("\n")}\n…`;
    box.readOnly = true;
    ui.large.hidden = false;
    ui.largeNote.textContent = `${state.lines.length.toLocaleString("en-US")} lines pasted, all judged below; ` +
      `the box shows the first ${PREVIEW_LINES}.`;
  }
  function leaveLarge(text) {
    ui.tokens.readOnly = false;
    ui.large.hidden = true;
    ui.tokens.value = text;
    linesFrom(text);
    ui.tokens.focus();
  }

  // ---------------------------------------------------------------------
  // A link's question: #token=…&lifetime=…&at=…&zone=…&map=…

  // Percent-decoding to bytes: %HH is a byte, any other character its
  // UTF-8; '+' stays a plus.
  function percentBytes(text) {
    const out = [];
    const encoder = new TextEncoder();
    for (let i = 0; i < text.length; i++) {
      const c = text[i];
      if (c === "%" && /^[0-9a-fA-F]{2}$/.test(text.slice(i + 1, i + 3))) {
        out.push(parseInt(text.slice(i + 1, i + 3), 16));
        i += 2;
      } else {
        const cp = text.codePointAt(i);
        if (cp > 0xffff) i++;
        out.push(...encoder.encode(String.fromCodePoint(cp)));
      }
    }
    return Uint8Array.from(out);
  }

  function readFragment() {
    const hash = location.hash.replace(/^#/, "");
    if (hash === "") return false;
    const fields = {};
    for (const pair of hash.split("&")) {
      const at = pair.indexOf("=");
      if (at > 0) fields[pair.slice(0, at)] = pair.slice(at + 1);
    }
    const text = (v) => {
      try {
        return utf8.decode(percentBytes(v));
      } catch {
        return "";
      }
    };
    if (!("token" in fields) && !("at" in fields) && !("zone" in fields) && !("lifetime" in fields)) return false;
    if ("lifetime" in fields) ui.lifetime.value = text(fields.lifetime);
    if ("map" in fields) ui.map.value = text(fields.map);
    if ("zone" in fields) ui.zone.value = text(fields.zone);
    if ("at" in fields) {
      ui.at.value = text(fields.at);
      ui.atMode.checked = true;
    } else {
      ui.now.checked = true;
    }
    if ("token" in fields) judgeBytes(percentBytes(fields.token));
    else judgeAll();
    return true;
  }

  // One token given as bytes (a link's, an issued one): judged byte for
  // byte, while the box shows it as text.
  function judgeBytes(token) {
    ui.tokens.readOnly = false;
    ui.large.hidden = true;
    const shown = textOf(token);
    state.lines = [token];
    state.chosen = 0;
    ui.tokens.value = shown === null ? idTextOf(token) : shown;
    state.text = ui.tokens.value;
    const exact = shown !== null && !/[\r\n]/.test(shown);
    ui.linkNote.hidden = exact;
    ui.linkNote.textContent = exact ? "" :
      `This token (${token.length} bytes) is judged byte for byte; the box shows it as text. Edit the box to judge its text instead.`;
    judgeAll();
  }

  // ---------------------------------------------------------------------
  // Issuing.

  function issue() {
    ui.issueProblem.textContent = "";
    ui.issued.value = "";
    const q = readQuestion();
    if (q === null) {
      ui.issueProblem.textContent = "Fix the question above first.";
      return;
    }
    state.issued = null;
    ui.issuedHex.textContent = "";
    try {
      state.issued = q.codec.cryptId(ui.issueId.value, q.moment.stamp);
    } catch (e) {
      ui.issueProblem.textContent = e.message.replace(/^idstamp: /, "");
      return;
    }
    const text = textOf(state.issued);
    ui.issued.value = text ?? idTextOf(state.issued);
    ui.issuedHex.textContent = hexOf(state.issued);
    if (text === null) {
      ui.issueProblem.textContent =
        "The scramble split the id's characters, so this token is not UTF-8 text: it is shown escaped, and in hex.";
    }
  }

  // ---------------------------------------------------------------------
  // Copying.

  async function copyJson() {
    const text = ui.json.value;
    let done = false;
    try {
      await navigator.clipboard.writeText(text);
      done = true;
    } catch {
      ui.json.focus();
      ui.json.select();
      done = document.execCommand("copy");
      ui.copy.focus();
    }
    ui.copyStatus.textContent = done ? "Copied." : "Select the JSON below and copy it.";
  }

  // ---------------------------------------------------------------------
  // Wiring.

  function start() {
    ui.zone.value = browserZone();
    if (typeof Intl.supportedValuesOf === "function") {
      const options = Intl.supportedValuesOf("timeZone").map((z) => {
        const o = document.createElement("option");
        o.value = z;
        return o;
      });
      ui.zones.replaceChildren(...options);
    }
    ui.tokens.addEventListener("input", tokensChanged);
    ui.tokens.addEventListener("paste", pasted);
    ui.clearLarge.addEventListener("click", () => leaveLarge(""));
    ui.editLarge.addEventListener("click", () => leaveLarge(state.text));
    for (const input of [ui.zone, ui.lifetime, ui.map]) input.addEventListener("input", judgeAll);
    ui.at.addEventListener("input", () => {
      if (ui.at.value.trim() !== "") ui.atMode.checked = true;
      judgeAll();
    });
    for (const radio of [ui.now, ui.atMode]) {
      radio.addEventListener("change", () => {
        if (ui.atMode.checked && ui.at.value.trim() === "" && state.question) {
          ui.at.value = wallText(state.question.moment.wall);
        }
        judgeAll();
      });
    }
    ui.rows.addEventListener("scroll", () => drawRows(false), { passive: true });
    ui.rows.addEventListener("click", (e) => {
      const row = e.target.closest(".row");
      if (row) choose(Number(row.getAttribute("aria-posinset")) - 1);
    });
    ui.rows.addEventListener("keydown", (e) => {
      const page = Math.max(1, Math.floor(ui.rows.clientHeight / ROW_HEIGHT) - 1);
      const step = { ArrowDown: 1, ArrowUp: -1, PageDown: page, PageUp: -page }[e.key];
      if (step !== undefined) choose(state.chosen + step);
      else if (e.key === "Home") choose(0);
      else if (e.key === "End") choose(state.lines.length - 1);
      else return;
      e.preventDefault();
    });
    ui.copy.addEventListener("click", copyJson);
    ui.issue.addEventListener("click", issue);
    ui.issueId.addEventListener("keydown", (e) => {
      if (e.key === "Enter") issue();
    });
    ui.judgeIssued.addEventListener("click", () => {
      const token = state.issued;
      if (token === null) return;
      const text = textOf(token);
      if (text !== null && !/[\r\n]/.test(text)) {
        leaveLarge(text);
        return;
      }
      judgeBytes(token);
      ui.tokens.focus();
    });
    window.addEventListener("hashchange", readFragment);
    window.addEventListener("resize", () => drawRows(false));
    // "Now" moves on: judge again each second while the page is seen.
    setInterval(() => {
      if (!ui.atMode.checked && document.visibilityState === "visible") judgeAll();
    }, 1000);
    if (!readFragment()) {
      state.lines = splitLines(ui.tokens.value);
      judgeAll();
    }
  }

  start();
})();
