// The token debugger's page: judges the pasted lines with the idstamp
// package, at a moment and in a zone, and shows one chosen line in detail.
// What it works out comes from core.mjs; this is the DOM around it. Rows
// are drawn only where they are seen, and judged only then, so a paste of
// 100,000 lines shows at once; the summary counts them a slice at a time.
// In a log's modes each line is judged at its own moment (log.mjs), and
// the summary ends in what --summary --json prints and two charts.
//
// Stable hooks for scripts: #verdict, #reason, #id-hex, #stamp, #now and
// #age-ms hold the chosen line's plain values (decimal numbers, lowercase
// hex, an empty text where a field does not apply). A link's token is
// chosen when it is loaded.
import { utf8OrNull, zoneName } from "../js/index.js";
import {
  duration, fieldsOfUtc, hexOf, idTextOf, issuedAt, jsonOf, judgeLine, readFragment, readQuestion, splitLines,
  summaryText, timeLeft, timelineShapes, utcOf, wallText,
} from "./core.mjs";
import { judgeRecord, recordReader, recordsOf } from "./log.mjs";
import { addRecord, newSummary, summaryJson } from "./summary.mjs";
import { addToCharts, ageChart, newChartData, verdictChart } from "./charts.mjs";

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
  formats: { tokens: $("format-tokens"), moments: $("format-moments"), clf: $("format-clf") },
  param: $("param"), tokensLabel: $("tokens-label"), headTime: $("head-time"), summaryJson: $("summary-json"),
  charts: {
    verdicts: [$("chart-verdicts"), $("chart-verdicts-caption")], ages: [$("chart-ages"), $("chart-ages-caption")],
  },
};

const ROW_HEIGHT = 26;

// The one place the page reads the clock.
const clock = () => Date.now();

const state = {
  text: "", // the text the lines were split from
  lines: [], // strings, or one Uint8Array: the link's token, byte for byte
  chosen: 0,
  question: null, // { codec, lifetime, moment } when the inputs read
  rowCache: new Map(), // line index -> judged row, for the current question
  countRun: 0, // the summary's count in progress; a newer one stops it
  issued: null, // the token last issued, as bytes
  format: "tokens", // or "moments", "clf": a log, each line judged at its own moment
  log: recordsOf(""), // in a log's modes, recordsOf(text)
  reader: null, // in a log's modes, what a record holds
};

const isLog = () => state.format !== "tokens";
const lineCount = () => (isLog() ? state.log.count : state.lines.length);

function askedNow() {
  const inputs = {
    lifetime: ui.lifetime.value, map: ui.map.value, zone: ui.zone.value,
    at: ui.atMode.checked && !isLog() ? ui.at.value : null,
  };
  const { problems, question } = readQuestion(inputs, clock());
  if (state.format === "clf" && ui.param.value === "") problems.push("A web server log needs the query parameter's name.");
  ui.problem.textContent = problems.join(" ");
  if (problems.length > 0) return null;
  state.reader = isLog() ? recordReader(state.format, question.moment.zone, ui.param.value) : null;
  return question;
}

// Line `index` judged: as judgeLine gives it, or in a log's modes as
// judgeRecord does.
function judged(index) {
  const q = state.question;
  return isLog() ? judgeRecord(state.reader(state.log, index), q.codec, q.lifetime) : judgeLine(q, state.lines[index]);
}

function rowAt(index) {
  let row = state.rowCache.get(index);
  if (row === undefined) {
    row = judged(index);
    if (state.rowCache.size > 4000) state.rowCache.clear();
    state.rowCache.set(index, row);
  }
  return row;
}

// ---------------------------------------------------------------------------
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
  if (isLog()) return logRow(el, r);
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

// A log's line: skipped, unjudged and why, or judged at its own moment.
function logRow(el, r) {
  if (r.skipped) {
    el.append(cell("skipped", "v-skipped"), cell(`no parameter “${ui.param.value}”`));
  } else if (r.cause) {
    el.append(cell(`unjudged: ${r.cause}`, "v-unjudged"));
  } else {
    const t = r.report;
    const verdict = t.verdict === "malformed" ? `malformed: ${t.reason}` : t.verdict;
    const read = t.verdict !== "malformed";
    el.append(
      cell(verdict, `v-${t.verdict}`), cell(read ? idTextOf(t.id) : ""), cell(read ? hexOf(t.id) : ""),
      cell(read ? duration(t.ageMs) : "", "num"), cell(read ? timeLeft(t, state.question.lifetime) : "", "num"),
      cell(wallText(fieldsOfUtc(r.wallMs))),
    );
  }
  el.title = el.children[1].textContent;
  return el;
}

function drawRows(all) {
  const n = state.question === null ? 0 : lineCount();
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

// ---------------------------------------------------------------------------
// The chosen line in detail, the hooks, the picture and the JSON.

function setHooks(values) {
  for (const key of Object.keys(ui.hook)) ui.hook[key].textContent = values[key] ?? "";
}

const DETAILS = ["idText", "stampTime", "nowTime", "ageText", "timeLeft"];

// The moment a log's line was judged at, as readMoment gives one.
function momentOf(r) {
  const wall = fieldsOfUtc(r.wallMs);
  return { zone: state.question.moment.zone, wall, stamp: r.now, intoYear: r.wallMs - utcOf(wall.y, 1, 1), live: false };
}

// A log's line in detail: as a line of tokens, at its own moment, or why
// it was not judged.
function showChosenLog(index) {
  const r = rowAt(index);
  if (r.report !== undefined) {
    showReport(r.report, { ...state.question, moment: momentOf(r) }, index);
    return;
  }
  setHooks({ verdict: r.skipped ? "skipped" : "unjudged", reason: r.cause ?? "" });
  for (const key of DETAILS) ui[key].textContent = "";
  ui.json.value = r.cause ? `{"line": ${index + 1}, "verdict": null, "error": "${r.cause}"}\n` : "";
  ui.copy.disabled = !r.cause;
  drawTimeline(null);
}

function showChosen() {
  const q = state.question;
  const has = q !== null && state.chosen < lineCount();
  ui.chosenLine.textContent = has ? String(state.chosen + 1) : "";
  if (has && isLog()) {
    showChosenLog(state.chosen);
    return;
  }
  const r = has ? rowAt(state.chosen) : null;
  ui.copy.disabled = r === null || Boolean(r.error);
  if (r === null || r.error) {
    setHooks({ verdict: r ? "unreadable" : "", reason: r ? r.error : "" });
    for (const key of DETAILS) ui[key].textContent = "";
    ui.json.value = "";
    drawTimeline(null);
    return;
  }
  showReport(r, q, null);
}

// A judged token's values, the JSON (with its line in a log) and the
// time line, for question `q`.
function showReport(r, q, index) {
  ui.copy.disabled = false;
  const parsed = r.verdict !== "malformed";
  const shown = (f) => (parsed ? f() : "");
  setHooks({
    verdict: r.verdict, reason: r.reason ?? "", idHex: shown(() => hexOf(r.id)), stamp: shown(() => String(r.stamp)),
    now: shown(() => String(r.now)), ageMs: shown(() => String(r.ageMs)),
  });
  ui.idText.textContent = shown(() => idTextOf(r.id));
  ui.stampTime.textContent = shown(() => issuedAt(q.moment, r.ageMs));
  ui.nowTime.textContent = shown(() => `${wallText(q.moment.wall)} in ${q.moment.zone}`);
  ui.ageText.textContent = shown(() => duration(r.ageMs));
  ui.timeLeft.textContent = shown(() => timeLeft(r, q.lifetime) || "none");
  const json = jsonOf(r, q.lifetime);
  ui.json.value = index === null ? json : `{"line": ${index + 1}, ${json.slice(1)}`;
  drawTimeline(parsed ? r : null, q.lifetime);
}

const SVG = "http://www.w3.org/2000/svg";

// Draws `picture` ({ shapes, caption }, or null for none) in an SVG.
function drawSvg(svg, captionEl, picture) {
  svg.replaceChildren();
  captionEl.textContent = picture?.caption ?? "";
  for (const [name, attributes, text] of picture?.shapes ?? []) {
    const el = document.createElementNS(SVG, name);
    for (const [k, v] of Object.entries(attributes)) el.setAttribute(k, String(v));
    if (text !== undefined) el.textContent = text;
    svg.append(el);
  }
}

function drawTimeline(r, lifetime) {
  drawSvg(ui.timeline, ui.caption, r === null ? null : timelineShapes(lifetime, r));
}

// ---------------------------------------------------------------------------
// The summary, counted a slice at a time: the line above the rows, what
// --summary --json prints, and the charts.

// Line `index` as the summary counts it: { report, wallMs } when judged,
// { cause } or { skipped } in a log; and the key it is tallied under.
function counted(index, wallMs, encoder) {
  const r = state.rowCache.get(index) ?? judged(index);
  if (isLog()) return [r, r.skipped ? "skipped" : r.cause ? "unjudged" : r.report.verdict];
  const q = state.question;
  // --batch reads bytes: a lone surrogate is counted as the UTF-8 the page would save.
  const report = r.error ? q.codec.inspectToken(encoder.encode(state.lines[index]), q.lifetime, q.moment.stamp) : r;
  return [{ report, wallMs }, r.error ? "unreadable" : r.verdict];
}

function showTotals(totals, charts) {
  ui.summaryJson.textContent = totals === null ? "" : summaryJson(totals);
  const lifetime = state.question?.lifetime ?? 0;
  drawSvg(...ui.charts.verdicts, totals && verdictChart(charts, totals.first, totals.last));
  drawSvg(...ui.charts.ages, totals && ageChart(charts, lifetime));
}

function count() {
  const run = ++state.countRun;
  const q = state.question;
  const n = q === null ? 0 : lineCount();
  showTotals(null, null);
  if (n === 0) {
    ui.summary.textContent = q === null ? "" : "No lines yet: paste or type tokens above.";
    return;
  }
  const keys = isLog() ? ["fresh", "expired", "ahead", "malformed", "unjudged", "skipped"]
    : ["fresh", "expired", "ahead", "malformed", "unreadable"];
  const tally = Object.fromEntries(keys.map((k) => [k, 0]));
  const totals = newSummary();
  const charts = newChartData(q.lifetime);
  const wallMs = isLog() ? null : utcOf(...["y", "mo", "d", "h", "mi", "s", "ms"].map((k) => q.moment.wall[k]));
  const encoder = new TextEncoder();
  ui.summary.textContent = summaryText(n, tally, false);
  let i = 0;
  const slice = () => {
    if (run !== state.countRun) return;
    // Slices of about 10 ms, so that a key typed meanwhile is answered.
    for (const until = performance.now() + 10; i < n && (i % 256 !== 0 || performance.now() < until); i++) {
      const [r, key] = counted(i, wallMs, encoder);
      tally[key]++;
      addRecord(totals, r);
      addToCharts(charts, r);
    }
    ui.summary.textContent = summaryText(n, tally, i === n);
    if (i < n) setTimeout(slice, 0);
    else showTotals(totals, charts);
  };
  setTimeout(slice, 0);
}

// ---------------------------------------------------------------------------
// Putting it together.

function judgeAll() {
  state.question = askedNow();
  state.rowCache.clear();
  ui.headTime.textContent = isLog() ? "judged at, local time" : "stamp, local time";
  if (state.chosen >= lineCount()) state.chosen = Math.max(0, lineCount() - 1);
  drawRows(true);
  showChosen();
  count();
  const m = state.question?.moment;
  if (isLog()) ui.clock.textContent = m ? `Judging each line at its own moment, in ${m.zone}.` : "";
  else ui.clock.textContent = m ? `Judging at ${wallText(m.wall)} in ${m.zone}${m.live ? " (now)" : ""}: year stamp ${m.stamp}.` : "";
}

function choose(index) {
  const n = lineCount();
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
function splitText() {
  if (isLog()) state.log = recordsOf(state.text);
  else state.lines = splitLines(state.text);
}
function linesFrom(text) {
  clearTimeout(pending);
  state.text = text;
  splitText();
  ui.linkNote.hidden = true;
  judgeAll();
}

const LABELS = {
  tokens: "Tokens, one a line", moments: "Lines of MOMENT, a tab, then the token",
  clf: "Lines of a web server's log (Common or Combined Log Format)",
};
function setFormat(format) {
  state.format = format in LABELS ? format : "tokens";
  ui.formats[state.format].checked = true;
  ui.tokensLabel.textContent = LABELS[state.format];
  document.querySelector(".question fieldset:not(.formats)").disabled = isLog();
}
function formatChanged() {
  setFormat(Object.keys(ui.formats).find((k) => ui.formats[k].checked));
  if (ui.tokens.readOnly || !ui.linkNote.hidden) {
    splitText();
    judgeAll();
  } else {
    linesFrom(ui.tokens.value);
  }
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
  showLarge(whole, "pasted");
}
function showLarge(text, how) {
  linesFrom(text);
  let end = -1;
  for (let k = 0; k < PREVIEW_LINES && end < text.length; k++) end = text.indexOf("\n", end + 1) >>> 0;
  const box = ui.tokens;
  box.value = `${text.slice(0, Math.min(end, text.length))}\n…`;
  box.readOnly = true;
  ui.large.hidden = false;
  ui.largeNote.textContent = `${lineCount().toLocaleString("en-US")} lines ${how}, all judged below; ` +
    `the box shows the first ${PREVIEW_LINES}.`;
}
function leaveLarge(text) {
  ui.tokens.readOnly = false;
  ui.large.hidden = true;
  ui.tokens.value = text;
  linesFrom(text);
  ui.tokens.focus();
}

// A link's question, from location.hash; false when it asks none.
function applyFragment() {
  const fields = readFragment(location.hash.replace(/^#/, ""));
  if (fields === null) return false;
  if ("lifetime" in fields) ui.lifetime.value = fields.lifetime;
  if ("map" in fields) ui.map.value = fields.map;
  if ("zone" in fields) ui.zone.value = fields.zone;
  if ("at" in fields) {
    ui.at.value = fields.at;
    ui.atMode.checked = true;
  } else {
    ui.now.checked = true;
  }
  if ("param" in fields) ui.param.value = fields.param;
  if ("log" in fields) {
    setFormat(fields.format ?? "moments");
    if (fields.log.length >= LARGE) showLarge(fields.log, "in the link");
    else leaveLarge(fields.log);
  } else if ("token" in fields) {
    judgeBytes(fields.token);
  } else {
    judgeAll();
  }
  return true;
}

// One token given as bytes (a link's, an issued one): judged byte for
// byte, while the box shows it as text.
function judgeBytes(token) {
  setFormat("tokens");
  ui.tokens.readOnly = false;
  ui.large.hidden = true;
  const shown = utf8OrNull(token);
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

// ---------------------------------------------------------------------------
// Issuing, and copying.

function issue() {
  ui.issueProblem.textContent = "";
  ui.issued.value = "";
  const q = askedNow();
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
  const text = utf8OrNull(state.issued);
  ui.issued.value = text ?? idTextOf(state.issued);
  ui.issuedHex.textContent = hexOf(state.issued);
  if (text === null) {
    ui.issueProblem.textContent =
      "The scramble split the id's characters, so this token is not UTF-8 text: it is shown escaped, and in hex.";
  }
}

function judgeIssued() {
  const token = state.issued;
  if (token === null) return;
  const text = utf8OrNull(token);
  if (text !== null && !/[\r\n]/.test(text)) {
    leaveLarge(text);
    return;
  }
  judgeBytes(token);
  ui.tokens.focus();
}

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

// ---------------------------------------------------------------------------
// Wiring.

function wireQuestion() {
  ui.zone.value = zoneName() || "UTC";
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
  for (const input of [ui.zone, ui.lifetime, ui.map, ui.param]) input.addEventListener("input", judgeAll);
  for (const radio of Object.values(ui.formats)) radio.addEventListener("change", formatChanged);
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
}

function wireRows() {
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
  window.addEventListener("resize", () => drawRows(false));
}

function start() {
  wireQuestion();
  wireRows();
  ui.copy.addEventListener("click", copyJson);
  ui.issue.addEventListener("click", issue);
  ui.issueId.addEventListener("keydown", (e) => {
    if (e.key === "Enter") issue();
  });
  ui.judgeIssued.addEventListener("click", judgeIssued);
  window.addEventListener("hashchange", applyFragment);
  // "Now" moves on: judge again each second while the page is seen.
  setInterval(() => {
    if (!ui.atMode.checked && !isLog() && document.visibilityState === "visible") judgeAll();
  }, 1000);
  if (!applyFragment()) {
    state.lines = splitLines(ui.tokens.value);
    judgeAll();
  }
}

start();
