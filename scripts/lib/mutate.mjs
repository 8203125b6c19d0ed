// SPDX-License-Identifier: MIT
// A mutation run of the logic tests: each mutant of the list is put into a scratch copy of the
// tree in turn, the logic tests are built without Qt and run, and the mutant is caught (by the
// first test that fails), survives, or is stale (its text is no longer found once and only once).
// With --generate, the mutants are made by rule instead (mutant_rules.mjs): a seeded sample,
// less those tests/mutants-equivalent.txt keeps as equivalent.
// Usage: node scripts/lib/mutate.mjs [LIST] [--only TEXT]
//        node scripts/lib/mutate.mjs --generate [PATHS] [--seed N] [--count N] [--only TEXT]
import { execFileSync, spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { generate, kDefaultPaths } from './mutant_rules.mjs';

const root = path.resolve(path.dirname(new URL(import.meta.url).pathname), '../..');
const args = process.argv.slice(2);
let listPath = path.join(root, 'tests/mutants.txt');
const keptPath = path.join(root, 'tests/mutants-equivalent.txt');
let only = '';
let generated = null; // {paths, seed, count}
for (let i = 0; i < args.length; ++i) {
  if (args[i] === '--only') only = args[++i] ?? '';
  else if (args[i] === '--generate') generated = { paths: [], seed: 1, count: 150 };
  else if (generated && (args[i] === '--seed' || args[i] === '--count')) generated[args[i].slice(2)] = Number(args[++i]);
  else if (generated) generated.paths.push(args[i]);
  else listPath = path.resolve(args[i]);
}

// The list: records separated by blank lines, each a few "key value" lines. In find and put,
// \n stands for a line break and \\ for a backslash.
function parseList(text) {
  const mutants = [];
  let m = null;
  text.split('\n').forEach((raw, i) => {
    const line = raw.replace(/\r$/, '');
    if (line.startsWith('#')) return;
    if (line.trim() === '') { m = null; return; }
    const match = /^(file|find|put|fault|equivalent)(?: (.*))?$/.exec(line);
    if (!match) throw new Error(`${listPath}:${i + 1}: not a key and value: ${line}`);
    if (!m) mutants.push(m = { line: i + 1, put: '' });
    const unescape = (s) => s.replace(/\\(\\|n)/g, (_, c) => (c === 'n' ? '\n' : '\\'));
    const [, key, value = ''] = match;
    m[key] = key === 'find' || key === 'put' ? unescape(value) : value;
  });
  for (const x of mutants)
    for (const key of ['file', 'find', 'fault'])
      if (!x[key]) throw new Error(`${listPath}:${x.line}: the mutant has no ${key}`);
  return mutants;
}

const count = (hay, needle) => hay.split(needle).length - 1;

// A mutant of the list: its text found once and only once, replaced.
function listed(m) {
  return { ...m, apply(text) {
    const n = count(text, m.find);
    return n === 1 ? { text: text.replace(m.find, () => m.put) } : { stale: `found ${n} times; list line ${m.line}` };
  } };
}

// A mutant made by rule: its line as it was when drawn, replaced whole. Written as a record of
// the list, it is found with the line above it, so that a line written twice in a file is told
// apart; kept equivalents match so too.
function byRule(m, kept) {
  const find = `${m.before}\n${m.original}`, put = `${m.before}\n${m.mutated}`;
  const equivalent = kept.find((k) => k.file === m.file && k.find === find && k.put === put)?.equivalent;
  return { file: m.file, fault: m.fault, line: m.line, find, put, equivalent, apply(text) {
    const lines = text.split('\n');
    if (lines[m.line - 1] !== m.original) return { stale: `line ${m.line} has changed` };
    lines[m.line - 1] = m.mutated;
    return { text: lines.join('\n') };
  } };
}

function chooseMutants() {
  if (!generated) return parseList(fs.readFileSync(listPath, 'utf8')).map(listed);
  const kept = fs.existsSync(keptPath) ? parseList(fs.readFileSync(keptPath, 'utf8')) : [];
  const { all, drawn } = generate(root, generated.paths.length ? generated.paths : kDefaultPaths,
    generated.count, generated.seed);
  console.log(`seed ${generated.seed}: ${drawn.length} of ${all} mutants made by rule`);
  return drawn.map((m) => byRule(m, kept));
}

// A survivor as a record of the list's format: the start of a test's fault or a kept equivalent.
const escape = (s) => s.replace(/\\/g, '\\\\').replace(/\n/g, '\\n');
const record = (m) => `file ${m.file}\nfind ${escape(m.find)}\nput ${escape(m.put)}\nfault ${m.fault}`;
const seconds = (ms) => `${(ms / 1000).toFixed(0)} s`;

// The scratch copy: the files git knows (and new ones not ignored), written only where they
// differ, so that an earlier run's objects stay valid and a round rebuilds one file.
function syncTree(tree) {
  const files = execFileSync('git', ['ls-files', '-z', '--cached', '--others', '--exclude-standard'], { cwd: root })
    .toString().split('\0').filter((f) => f && !f.startsWith('tests/web/') && fs.existsSync(path.join(root, f)));
  for (const f of files) {
    const from = path.join(root, f), to = path.join(tree, f);
    const data = fs.readFileSync(from);
    if (fs.existsSync(to) && fs.readFileSync(to).equals(data)) continue;
    fs.mkdirSync(path.dirname(to), { recursive: true });
    fs.writeFileSync(to, data);
    fs.chmodSync(to, fs.statSync(from).mode);
  }
}

function build(dir) {
  const r = spawnSync('cmake', ['--build', dir, '-j', String(os.cpus().length), '--target', 'logic_tests', '--', '--no-print-directory'],
    { encoding: 'utf8', maxBuffer: 64 << 20 });
  return r.status === 0 ? null : (r.stdout + r.stderr).split('\n').filter((l) => /error/.test(l)).slice(0, 3).join('\n');
}

// The first test that fails, or null when all pass. The tests run in two shards at once.
function runTests(binary, limitMs) {
  const shards = 2;
  const runs = [...Array(shards).keys()].map((i) => new Promise((resolve) => {
    const out = [];
    const child = spawn(binary, ['--gtest_fail_fast'],
      { ...process.env, GTEST_TOTAL_SHARDS: String(shards), GTEST_SHARD_INDEX: String(i) });
    child.stdout.on('data', (d) => out.push(d));
    child.stderr.on('data', () => {});
    const timer = setTimeout(() => child.kill('SIGKILL'), limitMs);
    child.on('close', (code, signal) => {
      clearTimeout(timer);
      const text = Buffer.concat(out).toString();
      const failed = /\[  FAILED  \] (\S+)/.exec(text);
      if (code === 0) resolve(null);
      else if (failed) resolve(failed[1]);
      else {
        const running = [...text.matchAll(/\[ RUN      \] (\S+)/g)].pop();
        const what = signal === 'SIGKILL' ? 'time-out' : `exit ${code ?? signal}`;
        resolve(`${running ? running[1] : 'the tests'} (${what})`);
      }
    });
  }));
  return Promise.all(runs).then((r) => r.find((x) => x) ?? null);
}
async function main() {
  const mutants = chooseMutants().filter((m) =>
    !only || m.file.includes(only) || m.fault.includes(only));
  const scratch = path.join(root, 'build-mutate');
  const tree = path.join(scratch, 'tree'), dir = path.join(scratch, 'build');
  syncTree(tree);
  const t0 = Date.now();
  const launcher = spawnSync('sh', ['-c', 'command -v ccache']).status === 0 ? ['-DCMAKE_CXX_COMPILER_LAUNCHER=ccache'] : [];
  // The library's checks on: a mutant that reads an empty optional or past a container's end
  // stops the tests instead of going on by chance.
  execFileSync('cmake', ['-S', tree, '-B', dir, '-DTOVA_QT=OFF', '-DCMAKE_BUILD_TYPE=Debug',
    '-DCMAKE_CXX_FLAGS=-D_GLIBCXX_ASSERTIONS', ...launcher], { stdio: 'ignore' });
  const broken = build(dir);
  if (broken) throw new Error(`the tree does not build:\n${broken}`);
  const binary = path.join(dir, 'tests/logic_tests');
  const b0 = Date.now();
  const baseline = await runTests(binary, 600000);
  if (baseline) throw new Error(`the tests fail without a mutant: ${baseline}`);
  const limitMs = Math.max(60000, 5 * (Date.now() - b0));
  console.log(`${mutants.length} mutants; the tests take ${seconds(Date.now() - b0)} unmutated`);

  const tally = { caught: 0, survived: 0, equivalent: 0, stale: 0, unbuilt: 0 };
  const byFile = new Map(); // file: [caught, judged]
  const judge = (m, caught) => {
    const t = byFile.get(m.file) ?? [0, 0];
    byFile.set(m.file, [t[0] + (caught ? 1 : 0), t[1] + 1]);
  };
  const survivors = [];
  for (const m of mutants) {
    const file = path.join(tree, m.file);
    const where = `${m.file}: ${m.fault}`;
    const original = fs.existsSync(file) ? fs.readFileSync(file, 'utf8') : null;
    const mutated = original === null ? { stale: 'no such file' } : m.apply(original);
    if (mutated.stale) {
      ++tally.stale;
      console.log(`stale       ${where} (${mutated.stale})`);
      continue;
    }
    // A kept equivalent of a generated run is not built again.
    if (generated && m.equivalent !== undefined) {
      ++tally.equivalent;
      console.log(`equivalent  ${where} (kept: ${m.equivalent})`);
      continue;
    }
    fs.writeFileSync(file, mutated.text);
    try {
      const unbuilt = build(dir);
      if (unbuilt) {
        ++tally.unbuilt;
        console.log(`unbuilt     ${where}\n  ${unbuilt.replace(/\n/g, '\n  ')}`);
        continue;
      }
      const caughtBy = await runTests(binary, limitMs);
      if (m.equivalent !== undefined) {
        ++tally.equivalent;
        console.log(caughtBy ? `NOT EQUIVALENT, caught by ${caughtBy}: ${where}` : `equivalent  ${where}`);
        continue;
      }
      judge(m, caughtBy);
      if (caughtBy) {
        ++tally.caught;
        console.log(`caught      ${where}\n  by ${caughtBy}`);
      } else {
        ++tally.survived;
        survivors.push(m);
        console.log(`SURVIVED    ${where}${generated ? '' : ` (list line ${m.line})`}`);
      }
    } finally {
      fs.writeFileSync(file, original);
    }
  }
  const judged = tally.caught + tally.survived;
  const ratio = judged ? (100 * tally.caught) / judged : 0;
  console.log(`\n${tally.caught} of ${judged} caught (${ratio.toFixed(1)}%); ${tally.equivalent} equivalent, ` +
    `${tally.stale} stale, ${tally.unbuilt} not building; ${seconds(Date.now() - t0)} in all`);
  for (const [file, [caught, judged]] of byFile) console.log(`  ${caught} of ${judged}  ${file}`);
  for (const m of survivors) console.log(generated ? `\n${record(m)}` : `  survived: ${m.file}: ${m.fault}`);
  // A list that no longer fits the code is a fault of the list: say so in the status.
  // A generated mutant that does not build is the rule's miss, not the list's.
  process.exitCode = tally.stale || (tally.unbuilt && !generated) ? 2 : 0;
}

main().catch((e) => {
  console.error(`mutate: ${e.message}`);
  process.exitCode = 1;
});
