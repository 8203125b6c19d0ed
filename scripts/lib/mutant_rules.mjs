// SPDX-License-Identifier: MIT
// Mutants made by rule, with no one choosing them: each relational operator turned into its
// neighbour, && and || swapped, an integer literal in a comparison or a bound moved by one, a
// bool returned early negated, a call to a function returning void removed (in src/link,
// src/bridge and src/send). Then a reproducible sample of them, spread over the files by size.
import fs from 'node:fs';
import path from 'node:path';

// The Qt-free logic the logic tests build; a file per system but this one's is left out.
export const kDefaultPaths = ['src/core', 'src/link', 'src/tables', 'src/panel', 'src/send', 'src/bridge',
  'src/sim', 'src/options', 'src/window'];
const kVoidCallFolders = ['src/link/', 'src/bridge/', 'src/send/'];

export function sourceFiles(root, paths) {
  const out = [];
  const walk = (rel) => {
    const abs = path.join(root, rel);
    if (fs.statSync(abs).isFile()) return void out.push(rel);
    for (const e of fs.readdirSync(abs, { withFileTypes: true }).sort((a, b) => a.name.localeCompare(b.name)))
      walk(path.join(rel, e.name));
  };
  for (const p of paths) walk(p);
  return out.filter((f) => f.endsWith('.cpp') && !f.endsWith('_windows.cpp'));
}

// Each line with comments, string and character literals blanked, same length: what the rules
// read, so that text in literals is never mutated and offsets stay those of the real line.
export function maskedLines(text) {
  let s = text.replace(/R"([^(\s]*)\(([\s\S]*?)\)\1"/g, (m) => m.replace(/[^\n]/g, ' '));
  s = s.replace(/\/\*[\s\S]*?\*\/|\/\/[^\n]*|"(?:\\.|[^"\\\n])*"|'(?:\\.|[^'\\\n])*'/g,
    (m) => (m.startsWith('/') ? m.replace(/[^\n]/g, ' ') : m[0] + ' '.repeat(m.length - 2) + m[m.length - 1]));
  return s.split('\n');
}

const kNeighbour = { '<': '<=', '<=': '<', '>': '>=', '>=': '>', '==': '!=', '!=': '==', '&&': '||', '||': '&&' };
// A comparison, not a shift, a stream or an arrow.
const kCompare = '(?<![<>=!-])(?:<=|>=|==|!=|<|>)(?![<>=])';

// Names of what returns nothing: functions declared void, and std::function<void(...)> members.
export function voidNames(root, paths) {
  const names = new Set();
  for (const f of sourceFiles(root, paths).concat(headerFiles(root, paths))) {
    const text = maskedLines(fs.readFileSync(path.join(root, f), 'utf8')).join('\n');
    for (const m of text.matchAll(/\bvoid\s+(?:\w+::)*(\w+)\s*\(/g)) names.add(m[1]);
    for (const m of text.matchAll(/std::function<void\([^;{]*?\)>\s+(\w+)/g)) names.add(m[1]);
  }
  return names;
}

function headerFiles(root, paths) {
  const out = [];
  for (const p of paths) {
    const abs = path.join(root, p);
    for (const e of fs.readdirSync(abs, { recursive: true }))
      if (String(e).endsWith('.hpp')) out.push(path.join(p, String(e)));
  }
  return out;
}

function balanced(s) {
  let depth = 0;
  for (const c of s) {
    if (c === '(') ++depth;
    else if (c === ')' && --depth < 0) return false;
  }
  return depth === 0;
}

// The lines above line i that tell it apart in text: the one above, or as many as it takes for
// them and the line to be found once (a pair of lines may be written twice in a file).
function above(real, i, text) {
  for (let k = 1; k <= i; ++k) {
    const find = real.slice(i - k, i + 1).join('\n');
    if (text.split(find).length === 2) return real.slice(i - k, i).join('\n');
  }
  return real.slice(0, i).join('\n');
}

// Every mutant of one file: {file, line (1-based), before (the lines above that tell it apart),
// original, mutated, fault}.
export function fileMutants(file, text, voids) {
  const real = text.split('\n');
  const masked = maskedLines(text);
  const out = [];
  const add = (i, col, from, to, fault) => {
    const original = real[i];
    out.push({ file, line: i + 1, before: above(real, i, text), original,
      mutated: original.slice(0, col) + to + original.slice(col + from.length), fault: `${fault} (line ${i + 1})` });
  };
  masked.forEach((line, i) => {
    const code = line.trim();
    if (code.startsWith('#') || /static_assert|template\s*</.test(line)) return;
    for (const m of line.matchAll(/(?<= )(<=|>=|==|!=|<|>|&&|\|\|)(?= )/g))
      add(i, m.index, m[1], kNeighbour[m[1]], `${m[1]} made ${kNeighbour[m[1]]}`);
    // A literal beside a comparison, or in a bound: a constant's definition, min, max or clamp.
    const literals = new RegExp(`(?<=${kCompare} )\\d+\\b(?![.'xXeE])|(?<![\\w.'])\\d+(?= ${kCompare} )`, 'g');
    const bound = /\bk[A-Z]\w*\s*(?:=|\{)|\b(?:min|max|clamp)\(/.test(line);
    for (const m of line.matchAll(bound ? /(?<![\w.'])\d+\b(?![.'xXeE])/g : literals)) {
      const n = Number(m[0]);
      add(i, m.index, m[0], String(n + 1), `${m[0]} made ${n + 1}`);
      if (n > 0) add(i, m.index, m[0], String(n - 1), `${m[0]} made ${n - 1}`);
    }
    // A bool returned before the end of its function: not the last line of a function's body.
    const ret = /\breturn (true|false);/.exec(line);
    const last = /^ {4}return/.test(line) && (masked[i + 1] ?? '').trim() === '}';
    if (ret && !last) add(i, ret.index + 7, ret[1], ret[1] === 'true' ? 'false' : 'true', `an early return ${ret[1]} negated`);
    const call = /^(\s*)(?:[\w\]\)]+(?:\.|->))*(\w+)\((.*)\);\s*$/.exec(line);
    if (call && voids.has(call[2]) && balanced(call[3]) && kVoidCallFolders.some((d) => file.startsWith(d)))
      out.push({ file, line: i + 1, before: above(real, i, text), original: real[i], mutated: call[1] + '{}',
        fault: `the call to ${call[2]} removed (line ${i + 1})` });
  });
  return out;
}

// A small, seeded generator: the same seed gives the same sample on every machine.
function random(seed) {
  let a = seed >>> 0;
  return () => {
    a = (a + 0x6d2b79f5) >>> 0;
    let t = a;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}

// count mutants drawn without replacement: a file by its size in lines, then one of its mutants.
export function sample(byFile, count, seed) {
  const next = random(seed);
  const pools = [...byFile].map(([file, { lines, mutants }]) => ({ file, lines, left: [...mutants] }));
  const drawn = [];
  while (drawn.length < count) {
    const open = pools.filter((p) => p.left.length);
    if (!open.length) break;
    const total = open.reduce((s, p) => s + p.lines, 0);
    let r = next() * total;
    const pool = open.find((p) => (r -= p.lines) < 0) ?? open[open.length - 1];
    drawn.push(pool.left.splice(Math.floor(next() * pool.left.length), 1)[0]);
  }
  return drawn.sort((a, b) => a.file.localeCompare(b.file) || a.line - b.line);
}

export function generate(root, paths, count, seed) {
  const voids = voidNames(root, kDefaultPaths);
  const byFile = new Map();
  for (const file of sourceFiles(root, paths)) {
    const text = fs.readFileSync(path.join(root, file), 'utf8');
    const mutants = fileMutants(file, text, voids);
    if (mutants.length) byFile.set(file, { lines: text.split('\n').length, mutants });
  }
  const all = [...byFile.values()].reduce((s, f) => s + f.mutants.length, 0);
  return { all, drawn: sample(byFile, count, seed) };
}
