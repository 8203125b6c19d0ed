// SPDX-License-Identifier: MIT
// A service unit read as systemd reads it, without systemd: its instance's specifiers, its
// Environment= and EnvironmentFile= lines, and the argument vector of its ExecStart=, expanded
// as systemd.syntax(7) ("Quoting"), systemd.exec(5) and systemd.service(5) ("Command lines")
// describe them. Prints {"argv": [...], "env": {...}, "warnings": [...]} as JSON; a warning is
// what systemd would say and ignore ("Invalid environment assignment").
//   node tests/systemd/unit.mjs UNIT_FILE INSTANCE [ROOT]
// ROOT: where the absolute paths of EnvironmentFile= are looked up (a package unpacked there).
import fs from "node:fs";
import path from "node:path";

const kEscapes = { a: "\x07", b: "\b", f: "\f", n: "\n", r: "\r", t: "\t", v: "\v", "\\": "\\", '"': '"', "'": "'", s: " " };

// Words as systemd.syntax's quoting splits them: blanks between words; a word in double or
// single quotes as a whole; C escapes outside single quotes.
export function words(text) {
  const out = [];
  let i = 0;
  while (i < text.length) {
    while (i < text.length && /\s/.test(text[i])) ++i;
    if (i >= text.length) break;
    let word = "", quoted = false;
    for (; i < text.length && !/\s/.test(text[i]); ++i) {
      const c = text[i];
      if (c === '"' || c === "'") {
        quoted = true;
        for (++i; i < text.length && text[i] !== c; ++i) {
          if (c === '"' && text[i] === "\\" && i + 1 < text.length) word += kEscapes[text[++i]] ?? text[i];
          else word += text[i];
        }
      } else if (c === "\\" && i + 1 < text.length) {
        word += kEscapes[text[++i]] ?? text[i];
      } else {
        word += c;
      }
    }
    out.push({ word, quoted });
  }
  return out;
}

// The unit's [Service] keys in order, continuation lines joined, comments left out.
export function serviceKeys(text) {
  const keys = [];
  let section = "";
  const lines = text.split("\n");
  for (let i = 0; i < lines.length; ++i) {
    let line = lines[i].trim();
    while (line.endsWith("\\") && i + 1 < lines.length) line = line.slice(0, -1) + " " + lines[++i].trim();
    if (!line || line.startsWith("#") || line.startsWith(";")) continue;
    if (line.startsWith("[")) { section = line; continue; }
    const eq = line.indexOf("=");
    if (section === "[Service]" && eq > 0) keys.push([line.slice(0, eq).trim(), line.slice(eq + 1).trim()]);
  }
  return keys;
}

function specifiers(text, unit, instance) {
  const prefix = path.basename(unit).replace(/@.*$/, "");
  const table = { i: instance, I: instance, n: `${prefix}@${instance}.service`, N: `${prefix}@${instance}`, p: prefix, "%": "%" };
  return text.replace(/%(.)/g, (m, c) => {
    if (!(c in table)) throw new Error(`specifier %${c} not known here`);
    return table[c];
  });
}

// KEY=VALUE lines of an environment file, as systemd reads them.
function environmentFile(text) {
  const env = {};
  for (const raw of text.split("\n")) {
    const line = raw.trim();
    if (!line || line.startsWith("#") || line.startsWith(";")) continue;
    const eq = line.indexOf("=");
    if (eq <= 0) continue;
    const key = line.slice(0, eq).trim();
    const value = line.slice(eq + 1).trim();
    env[key] = words(value).map((w) => w.word).join(" ");
  }
  return env;
}

export function expand(unitFile, instance, root = "/") {
  const keys = serviceKeys(fs.readFileSync(unitFile, "utf8"));
  const env = {}, fromFiles = {}, warnings = [];
  let exec = null;
  for (const [key, raw] of keys) {
    const value = specifiers(raw, unitFile, instance);
    if (key === "Environment") {
      for (const { word } of words(value)) {
        const eq = word.indexOf("=");
        if (eq <= 0) warnings.push(`Invalid environment assignment, ignoring: ${word}`);
        else env[word.slice(0, eq)] = word.slice(eq + 1);
      }
    } else if (key === "EnvironmentFile") {
      const optional = value.startsWith("-");
      const file = path.join(root, optional ? value.slice(1) : value);
      if (fs.existsSync(file)) Object.assign(fromFiles, environmentFile(fs.readFileSync(file, "utf8")));
      else if (!optional) warnings.push(`Failed to load environment file ${file}`);
    } else if (key === "ExecStart") {
      exec = value === "" ? null : raw; // specifiers again below, after the prefixes
    }
  }
  Object.assign(env, fromFiles); // an environment file's assignments win over Environment=
  if (exec === null) throw new Error("no ExecStart=");
  const line = specifiers(exec.replace(/^[-@:+!]+/, ""), unitFile, instance);
  const argv = [];
  for (const { word, quoted } of words(line)) {
    const alone = !quoted && /^\$[A-Za-z_][A-Za-z0-9_]*$/.exec(word);
    if (alone) argv.push(...(env[word.slice(1)] ?? "").split(/\s+/).filter(Boolean)); // split at whitespace
    else argv.push(word.replace(/\$\{([A-Za-z_][A-Za-z0-9_]*)\}/g, (m, n) => env[n] ?? "").replace(/\$\$/g, "$"));
  }
  return { argv, env, warnings };
}

if (process.argv[1] && import.meta.url.endsWith(path.basename(process.argv[1]))) {
  const [unit, instance, root] = process.argv.slice(2);
  console.log(JSON.stringify(expand(unit, instance, root ?? "/")));
}
