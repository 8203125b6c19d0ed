// SPDX-License-Identifier: MIT
// The house's sizes, read from the sources as text: every file of code at most 300 lines, every
// function at most 60, but for the tables of data listed in tests/house-tables.txt (a function
// whose body is a table's rows). Prints what is over and exits 1 when anything is.
//   node scripts/lib/house.mjs [ROOT]
import fs from "node:fs";
import path from "node:path";

const root = process.argv[2] ?? ".";
const kFileLines = 300, kFunctionLines = 60;
const folders = ["src", "bench", "testkit"];
const extensions = [".cpp", ".hpp", ".js", ".mjs", ".sh"];

function* files(dir) {
  for (const e of fs.readdirSync(dir, { withFileTypes: true })) {
    const p = path.join(dir, e.name);
    if (e.isDirectory()) yield* files(p);
    else if (extensions.includes(path.extname(e.name))) yield p;
  }
}

// Code without comments and literals, so that braces in them count for nothing.
function stripped(text) {
  return text
    .replace(/\/\*[\s\S]*?\*\//g, (m) => m.replace(/[^\n]/g, " "))
    .replace(/R"\(([\s\S]*?)\)"/g, (m) => m.replace(/[^\n]/g, " "))
    .replace(/"(?:\\.|[^"\\\n])*"/g, '""')
    .replace(/'(?:\\.|[^'\\\n])*'/g, "''")
    .replace(/\/\/.*$/gm, "");
}

// Each function's name and lines: a brace that opens after a parameter list, outside any other
// function.
function functions(text) {
  const out = [];
  const lines = stripped(text).split("\n");
  let depth = 0, head = "", open = null;
  for (let i = 0; i < lines.length; ++i) {
    for (const ch of lines[i]) {
      if (ch === "{") {
        const h = head.trim();
        const isFunction = !open && /\)\s*(const|override|noexcept|final|mutable|->[^{]*|:[^{]*)*\s*$/.test(h) &&
          !/^(if|for|while|switch|catch|do|else)\b/.test(h.split(/[;{}]/).pop().trim()) && !/=\s*[^=]*$/.test(h.replace(/\(.*$/s, ""));
        if (isFunction) {
          const name = (h.match(/([\w:~]+)\s*\([^()]*(\([^()]*\)[^()]*)*\)[^()]*$/) ?? [])[1] ?? "?";
          open = { name, start: i + 1, depth };
        }
        ++depth;
        head = "";
      } else if (ch === "}") {
        --depth;
        if (open && depth === open.depth) {
          out.push({ name: open.name, start: open.start, lines: i + 1 - open.start + 1 });
          open = null;
        }
        head = "";
      } else if (ch === ";") {
        head = "";
      } else {
        head += ch;
      }
    }
    head += " ";
  }
  return out;
}

const tables = new Set(
  fs.readFileSync(path.join(root, "tests/house-tables.txt"), "utf8").split("\n")
    .map((l) => l.replace(/#.*/, "").trim()).filter(Boolean).map((l) => l.split(/\s+/)[0]));
let over = 0;
for (const folder of folders)
  for (const file of files(path.join(root, folder))) {
    const rel = path.relative(root, file);
    const text = fs.readFileSync(file, "utf8");
    const count = text.split("\n").length - (text.endsWith("\n") ? 1 : 0);
    if (count > kFileLines) { console.log(`${rel}: ${count} lines (at most ${kFileLines})`); ++over; }
    if (![".cpp", ".hpp"].includes(path.extname(file))) continue;
    for (const f of functions(text))
      if (f.lines > kFunctionLines && !tables.has(`${rel}:${f.name}`)) {
        console.log(`${rel}:${f.start}: ${f.name} is ${f.lines} lines (at most ${kFunctionLines})`);
        ++over;
      }
  }
console.log(over ? `house: ${over} over` : "house: every file and function within its size");
process.exit(over ? 1 : 0);
