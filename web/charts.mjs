// The shapes of the page's two charts, as [element, attributes, text]: the
// verdicts over time, stacked in buckets of a minute, an hour or days as
// the span asks; and the ages of the tokens that read, against the
// lifetime. No DOM here.
import { fieldsOf } from "./summary.mjs";

const STACK = ["fresh", "expired", "ahead", "malformed"];
const COLOURS = { fresh: "#1c7c3c", expired: "#a33a1e", ahead: "#8a5a00", malformed: "#6b3fa0" };
const BOX = { left: 48, right: 630, top: 22, bottom: 150, width: 640, height: 178 };
const AGE_BINS = 24; // between a minute ahead and twice the lifetime, plus one bin either side

// What the charts count: judged records a minute of wall clock, and the
// ages of those that read in bins.
function newChartData(lifetime) {
  const span = Math.max(lifetime, 1) * 60000 * 2 + 60000;
  return { minutes: new Map(), ageBins: STACK.slice(0, 3).map(() => new Array(AGE_BINS + 2).fill(0)), span };
}

function ageBin(data, ageMs) {
  const age = Number(ageMs);
  if (age < -60000) return 0;
  const k = Math.floor(((age + 60000) / data.span) * AGE_BINS);
  return k >= AGE_BINS ? AGE_BINS + 1 : k + 1;
}

function addToCharts(data, r) {
  if (r.report === undefined) return;
  const minute = Math.floor(r.wallMs / 60000);
  let counts = data.minutes.get(minute);
  if (counts === undefined) data.minutes.set(minute, (counts = [0, 0, 0, 0]));
  const v = STACK.indexOf(r.report.verdict);
  counts[v]++;
  if (v < 3) data.ageBins[v][ageBin(data, r.report.ageMs)]++;
}

// The bucket for a span of wall ms: a minute up to 3 hours, an hour up to 8
// days, else a day or as many days as keep the bars to 400 at most.
function timeUnit(first, last) {
  const span = last - first;
  if (span <= 3 * 3600000) return { ms: 60000, name: "minute" };
  if (span <= 8 * 86400000) return { ms: 3600000, name: "hour" };
  const days = Math.ceil((span + 1) / 86400000 / 400);
  return { ms: days * 86400000, name: days === 1 ? "day" : `${days} days` };
}

const two = (v) => String(v).padStart(2, "0");
function timeLabel(ms, unit) {
  const f = fieldsOf(ms);
  const date = `${String(f.y).padStart(4, "0")}-${two(f.mo)}-${two(f.d)}`;
  return unit.ms < 86400000 ? `${date} ${two(f.h)}:${two(f.mi)}` : date;
}

// Stacked bars, one a bucket, scaled to the tallest; `legend` of colours.
function stackedBars(columns, x0, barWidth) {
  const tallest = Math.max(1, ...columns.map((c) => c.reduce((a, b) => a + b, 0)));
  const scale = (BOX.bottom - BOX.top) / tallest;
  const shapes = [];
  columns.forEach((counts, i) => {
    let y = BOX.bottom;
    counts.forEach((n, v) => {
      if (n === 0) return;
      const h = n * scale;
      y -= h;
      shapes.push(["rect", { x: x0 + i * barWidth, y, width: Math.max(barWidth - 0.5, 0.5), height: h, fill: COLOURS[STACK[v]] }]);
    });
  });
  shapes.push(
    ["line", { x1: BOX.left, y1: BOX.bottom, x2: BOX.right, y2: BOX.bottom, stroke: "#8a94a6", "stroke-width": 1 }],
    ["text", { x: BOX.left - 4, y: BOX.top + 4, "text-anchor": "end" }, tallest.toLocaleString("en-US")],
    ["text", { x: BOX.left - 4, y: BOX.bottom, "text-anchor": "end" }, "0"],
  );
  STACK.forEach((v, k) => shapes.push(
    ["rect", { x: BOX.left + k * 110, y: 4, width: 10, height: 10, fill: COLOURS[v] }],
    ["text", { x: BOX.left + k * 110 + 14, y: 13 }, v],
  ));
  return { shapes, tallest };
}

// Verdicts over time, from `first` to `last` (wall ms), or null when
// nothing was judged.
function verdictChart(data, first, last) {
  if (first === null) return null;
  const unit = timeUnit(first, last);
  const start = Math.floor(first / unit.ms);
  const n = Math.floor(last / unit.ms) - start + 1;
  const columns = Array.from({ length: n }, () => [0, 0, 0, 0]);
  for (const [minute, counts] of data.minutes) {
    const column = columns[Math.floor((minute * 60000) / unit.ms) - start];
    counts.forEach((c, v) => (column[v] += c));
  }
  const barWidth = (BOX.right - BOX.left) / n;
  const { shapes } = stackedBars(columns, BOX.left, barWidth);
  shapes.push(
    ["text", { x: BOX.left, y: BOX.bottom + 16 }, timeLabel(start * unit.ms, unit)],
    ["text", { x: BOX.right, y: BOX.bottom + 16, "text-anchor": "end" }, timeLabel((start + n - 1) * unit.ms, unit)],
  );
  const each = unit.name === "hour" ? "an hour" : unit.name.includes(" ") ? `every ${unit.name}` : `a ${unit.name}`;
  const caption = `Verdicts by the local time each record was judged at, one bar ${each}, ` +
    `${n.toLocaleString("en-US")} bar${n === 1 ? "" : "s"}.`;
  return { shapes, caption, unit: unit.name, bars: n };
}

// Ages of the tokens that read: a minute ahead to twice the lifetime in
// equal bins, with those further ahead at the left edge and those older at
// the right; the end of the lifetime marked.
function ageChart(data, lifetime) {
  const columns = Array.from({ length: AGE_BINS + 2 }, (_, k) => data.ageBins.map((bins) => bins[k]));
  if (columns.every((c) => c.every((n) => n === 0))) return null;
  const barWidth = (BOX.right - BOX.left) / (AGE_BINS + 2);
  const { shapes } = stackedBars(columns.map((c) => [...c, 0]), BOX.left, barWidth);
  const xOfAge = (ms) => BOX.left + barWidth * (1 + ((ms + 60000) / data.span) * AGE_BINS);
  const minutes = (ms) => `${Math.round(ms / 60000).toLocaleString("en-US")} min`;
  const end = Math.max(lifetime, 0) * 60000;
  shapes.push(
    ["line", { x1: xOfAge(end), y1: BOX.top, x2: xOfAge(end), y2: BOX.bottom + 4, stroke: "#1d2430", "stroke-dasharray": "4 3" }],
    ["text", { x: xOfAge(end), y: BOX.bottom + 16, "text-anchor": "middle" }, `${minutes(end)}: end of lifetime`],
    ["text", { x: BOX.left, y: BOX.bottom + 16 }, "ahead"],
    ["text", { x: BOX.right, y: BOX.bottom + 16, "text-anchor": "end" }, `older than ${minutes(data.span - 60000)}`],
  );
  const caption = `Ages of the tokens that read, in bins of ${(data.span / AGE_BINS / 60000).toFixed(2)} min ` +
    "from a minute ahead; the outer bars hold those further ahead and older.";
  return { shapes, caption };
}

export { newChartData, addToCharts, timeUnit, verdictChart, ageChart, BOX };
