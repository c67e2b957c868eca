// No function in the page's own code spans more than 80 lines:
//
//   node web/test/function-length.mjs [FILE...]   (default: web/*.mjs)
//
// A small scanner, no parser: it skips comments, strings, template texts
// and regular expressions, matches braces, and takes a brace that follows
// `=>`, or a `)` not closing the head of if, for, while, switch, catch or
// with, as a function's body. A function spans from the line its parameter
// list opens on to the line of its closing brace.
import { readdirSync, readFileSync } from "node:fs";
import { fileURLToPath } from "node:url";

const LIMIT = 80;
const NOT_FUNCTIONS = new Set(["if", "for", "while", "switch", "catch", "with"]);
// After these a "/" starts a regular expression; after anything else it divides.
const BEFORE_REGEX = new Set(["(", ",", "=", ":", "[", "!", "&", "|", "?", "{", "}", ";", "+", "-", "*", "%",
  "<", ">", "~", "^", "=>", "return", "typeof", "case", "do", "else", "in", "of", "new", "delete", "void", "throw"]);

// The tokens of `text` that matter here: punctuation, words, with their lines.
function tokens(text) {
  const out = [];
  const templates = []; // brace depth at each open `${`
  let depth = 0;
  let line = 1;
  let i = 0;
  const skip = (to) => {
    for (; i < to; i++) if (text[i] === "\n") line++;
  };
  const quoted = (end) => {
    let j = i + 1;
    while (j < text.length && text[j] !== end) j += text[j] === "\\" ? 2 : 1;
    skip(j + 1);
  };
  const templateText = () => { // from after ` or }, to after ` or ${
    let j = i;
    while (j < text.length && text[j] !== "`" && !(text[j] === "$" && text[j + 1] === "{")) j += text[j] === "\\" ? 2 : 1;
    if (text[j] === "$") templates.push(depth);
    skip(text[j] === "$" ? j + 2 : j + 1);
  };
  while (i < text.length) {
    const c = text[i];
    const last = out.length > 0 ? out[out.length - 1].text : "(";
    if (c === "\n" || c === " " || c === "\t" || c === "\r") skip(i + 1);
    else if (text.startsWith("//", i)) skip(text.indexOf("\n", i) === -1 ? text.length : text.indexOf("\n", i));
    else if (text.startsWith("/*", i)) skip(text.indexOf("*/", i) + 2);
    else if (c === '"' || c === "'") quoted(c);
    else if (c === "`") { skip(i + 1); templateText(); }
    else if (c === "}" && templates.length > 0 && templates[templates.length - 1] === depth) {
      templates.pop();
      skip(i + 1);
      templateText();
    } else if (c === "/" && BEFORE_REGEX.has(last)) {
      let j = i + 1;
      for (let inClass = false; j < text.length && (inClass || text[j] !== "/"); j++) {
        if (text[j] === "\\") j++;
        else if (text[j] === "[") inClass = true;
        else if (text[j] === "]") inClass = false;
      }
      skip(j + 1);
    } else {
      const word = /^(=>|[\w$]+)/.exec(text.slice(i, i + 64))?.[0] ?? c;
      if (word === "{") depth++;
      if (word === "}") depth--;
      out.push({ text: word, line });
      skip(i + word.length);
    }
  }
  return out;
}

// [first line, last line] of each function body in `text`.
function functionSpans(text) {
  const t = tokens(text);
  const open = []; // [index of an open bracket, its text]
  const spans = [];
  const bodies = []; // for each open "{": its first line, or null when not a function
  for (let k = 0; k < t.length; k++) {
    const s = t[k].text;
    if (s === "(" || s === "[") open.push(k);
    else if (s === ")" || s === "]") t[k].opener = open.pop();
    else if (s === "{") {
      const before = t[k - 1];
      let first = null;
      if (before?.text === "=>") first = t[k - 2]?.text === ")" ? t[t[k - 2].opener].line : before.line;
      else if (before?.text === ")" && !NOT_FUNCTIONS.has(t[before.opener - 1]?.text)) first = t[before.opener].line;
      bodies.push(first);
    } else if (s === "}") {
      const first = bodies.pop();
      if (first !== null && first !== undefined) spans.push([first, t[k].line]);
    }
  }
  return spans;
}

const here = fileURLToPath(new URL("..", import.meta.url));
const files = process.argv.length > 2 ? process.argv.slice(2)
  : readdirSync(here).filter((f) => f.endsWith(".mjs")).map((f) => `${here}${f}`);
let long = 0;
for (const file of files) {
  const spans = functionSpans(readFileSync(file, "utf8"));
  for (const [first, last] of spans) {
    if (last - first + 1 > LIMIT) {
      long++;
      console.log(`${file}:${first}: a function of ${last - first + 1} lines, more than ${LIMIT}`);
    }
  }
  const longest = Math.max(0, ...spans.map(([a, b]) => b - a + 1));
  console.log(`${file}: ${spans.length} functions, the longest ${longest} lines`);
}
process.exit(long === 0 ? 0 : 1);
