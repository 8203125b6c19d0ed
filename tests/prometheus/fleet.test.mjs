// SPDX-License-Identifier: MIT
// A venue in small: three bridges, each on its own virtual projector line with its own metrics
// token, read by a real Prometheus every second with the shipped alert rules. Checked through
// Prometheus's HTTP API, as Grafana and Alertmanager read it.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { mkdtempSync, writeFileSync, readFileSync, rmSync } from 'node:fs';
import { createServer } from 'node:net';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { createInterface } from 'node:readline';

const bin = process.env.TOVA_BIN_DIR;
const tools = process.env.TOVA_TOOLS_DIR;
const source = process.env.TOVA_SOURCE_DIR;
const rulesFile = join(source, 'data/prometheus/tova-alerts.yml');
const dashboardFile = join(source, 'data/grafana/tova-fleet.json');

// The hall has two projectors on its line, addressed; the others one each, unaddressed.
const rooms = [
  { bridge: 'hall', projectors: [{ name: 'Hall left', address: 'A001' }, { name: 'Hall right', address: 'A002' }] },
  { bridge: 'studio', projectors: [{ name: 'Studio', address: '' }] },
  { bridge: 'foyer', projectors: [{ name: 'Foyer', address: '' }] },
];

const dir = mkdtempSync(join(tmpdir(), 'tova-fleet-'));
const running = new Set();
const logs = [];
// Whatever way this process ends, nothing it started goes on.
process.on('exit', () => {
  for (const p of running) p.kill('SIGKILL');
  rmSync(dir, { recursive: true, force: true });
});

// A program whose output lines are kept; waitLine resolves with the first match, seen or to come.
function run(name, file, args) {
  const child = spawn(file, args, { stdio: ['ignore', 'pipe', 'pipe'] });
  running.add(child);
  child.on('exit', () => running.delete(child));
  const seen = [];
  const waiters = [];
  const take = (line) => {
    seen.push(line);
    logs.push(`${name}: ${line}`);
    for (let i = waiters.length - 1; i >= 0; --i) if (waiters[i](line)) waiters.splice(i, 1);
  };
  createInterface({ input: child.stdout }).on('line', take);
  createInterface({ input: child.stderr }).on('line', take);
  child.waitLine = (re, ms = 15000) => new Promise((resolve, reject) => {
    const hit = seen.map((l) => l.match(re)).find(Boolean);
    if (hit) return resolve(hit);
    const timer = setTimeout(() => reject(new Error(`${name}: no line like ${re} in ${ms} ms`)), ms);
    waiters.push((l) => {
      const m = l.match(re);
      if (m) { clearTimeout(timer); resolve(m); }
      return Boolean(m);
    });
  });
  child.stopped = () => new Promise((resolve) => (child.exitCode !== null || child.signalCode !== null
    ? resolve() : child.once('exit', resolve)));
  return child;
}

function startSim(room, extra = []) {
  return run(`sim ${room.bridge}`, join(bin, 'tova-sim'),
    ['--fast', '--projectors', String(room.projectors.length), '--link', join(dir, room.bridge), ...extra]);
}

async function freePort() {
  const server = createServer();
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const { port } = server.address();
  await new Promise((resolve) => server.close(resolve));
  return port;
}

let prometheus;
let api;

async function query(expr) {
  const r = await fetch(`${api}/api/v1/query?query=${encodeURIComponent(expr)}`);
  const body = await r.json();
  assert.equal(body.status, 'success', `${expr}: ${JSON.stringify(body)}`);
  return body.data.result;
}

// Asks again until check returns something truthy; deadlines are generous, not targets.
async function until(what, check, ms = 45000) {
  const end = Date.now() + ms;
  let last;
  for (;;) {
    try {
      last = await check();
      if (last) return last;
    } catch (e) {
      last = e.message;
    }
    if (Date.now() > end) {
      assert.fail(`${what}: not within ${ms / 1000} s (last: ${JSON.stringify(last)})\n${logs.slice(-30).join('\n')}`);
    }
    await new Promise((r) => setTimeout(r, 250));
  }
}

const bridgesOf = (result) => [...new Set(result.map((s) => s.metric.bridge))].sort();
const allBridges = rooms.map((r) => r.bridge).sort();
const firing = async (alert) => query(`ALERTS{alertname="${alert}",alertstate="firing"}`);

const sims = {};

before(async () => {
  const targets = [];
  for (const room of rooms) {
    sims[room.bridge] = startSim(room);
    await sims[room.bridge].waitLine(/^\//);
    const token = join(dir, `${room.bridge}.token`);
    writeFileSync(token, `${room.bridge}-token-0123456789abcdef\n`, { mode: 0o600 });
    writeFileSync(join(dir, 'password'), 'web-password-for-all\n', { mode: 0o600 });
    const listeners = room.projectors.flatMap((p) =>
      ['--pjlink', `127.0.0.1:0${p.address ? '/' + p.address.slice(1) : ''},name=${p.name}`]);
    const bridge = run(`bridge ${room.bridge}`, join(bin, 'tova-bridge'), [
      '--device', join(dir, room.bridge), ...listeners, '--http', '127.0.0.1:0', '--poll', '1',
      '--http-password-file', join(dir, 'password'), '--metrics-token-file', token,
    ]);
    const [, port] = await bridge.waitLine(/web remote on http:\/\/127\.0\.0\.1:(\d+)/);
    targets.push({ room, port, token });
  }

  // The shipped rules with their waits cut short: a minute of silence becomes two seconds.
  const rules = readFileSync(rulesFile, 'utf8');
  const shortRules = rules.replace(/for: 1m/g, 'for: 2s');
  assert.notEqual(shortRules, rules, 'the rules have waits to cut short');
  writeFileSync(join(dir, 'rules.yml'), shortRules);
  const jobs = targets.map(({ room, port, token }) => `
  - job_name: tova-${room.bridge}
    authorization: {type: Bearer, credentials_file: ${token}}
    static_configs:
      - targets: ['127.0.0.1:${port}']
        labels: {bridge: ${room.bridge}}`).join('');
  writeFileSync(join(dir, 'prometheus.yml'),
    `global: {scrape_interval: 1s, evaluation_interval: 1s}\nrule_files: [${join(dir, 'rules.yml')}]\nscrape_configs:${jobs}\n`);

  const port = await freePort();
  api = `http://127.0.0.1:${port}`;
  prometheus = run('prometheus', join(tools, 'prometheus'), [
    `--config.file=${join(dir, 'prometheus.yml')}`, `--storage.tsdb.path=${join(dir, 'data')}`,
    `--web.listen-address=127.0.0.1:${port}`, '--log.level=warn',
  ]);
  await until('Prometheus ready', async () => (await fetch(`${api}/-/ready`)).ok, 30000);
});

after(async () => {
  for (const p of running) p.kill('SIGTERM');
  await Promise.all([...running].map((p) => p.stopped()));
});

test('every projector of the three bridges is read with its name, address and bridge', async () => {
  const scraped = await until('every bridge scraped with its token',
    async () => { const r = await query('up{bridge!=""} == 1'); return r.length === 3 && r; });
  assert.deepEqual(bridgesOf(scraped), allBridges);
  const up = await until('every projector answering',
    async () => { const r = await query('tova_projector_up == 1'); return r.length === 4 && r; });
  const seen = up.map((s) => `${s.metric.bridge}/${s.metric.projector}/${s.metric.address ?? ''}`).sort();
  const expected = rooms.flatMap((r) => r.projectors.map((p) => `${r.bridge}/${p.name}/${p.address}`)).sort();
  assert.deepEqual(seen, expected);
});

// The names the rules and the dashboard use: renamed on /metrics, they would find nothing.
function metricNames(text) {
  return [...new Set(text.match(/\btova[_:][a-zA-Z0-9_:]+/g))];
}

test('every metric the rules and the dashboard name has data from every bridge', async () => {
  const rules = readFileSync(rulesFile, 'utf8');
  const exprs = [...rules.matchAll(/^\s*expr: (.+)$/gm)].map((m) => m[1]).join('\n');
  // A constant the rules record carries no bridge: it must exist, once.
  const constants = [...rules.matchAll(/record: (\S+)\n\s*expr: vector\(/g)].map((m) => m[1]);
  const names = metricNames(exprs + '\n' + readFileSync(dashboardFile, 'utf8'));
  assert.ok(names.includes('tova_projector_up') && names.includes('tova_bridge_start_time_seconds'), names.join(' '));
  for (const name of names) {
    if (constants.includes(name)) {
      assert.equal((await until(name, () => query(name).then((r) => r.length && r))).length, 1);
      continue;
    }
    await until(`${name} from every bridge`, async () => {
      const r = await query(`count by (bridge) ({__name__="${name}"})`);
      return bridgesOf(r).join() === allBridges.join() && r;
    });
  }
});

test('every query of the dashboard returns data for every bridge', async () => {
  const dashboard = JSON.parse(readFileSync(dashboardFile, 'utf8'));
  const exprs = dashboard.panels.flatMap((p) => (p.targets ?? []).map((t) => t.expr));
  assert.ok(exprs.length >= 6, 'a tile per thing a technician watches');
  for (const expr of exprs) {
    // As Grafana expands them with every bridge chosen.
    const asRun = expr.replaceAll('$bridge', '.+').replaceAll('$__rate_interval', '1m');
    await until(`dashboard: ${expr}`, async () => {
      const r = await query(asRun);
      return bridgesOf(r).join() === allBridges.join() && r;
    });
  }
  const variable = dashboard.templating.list.find((v) => v.name === 'bridge');
  const [, metric, label] = variable.query.query.match(/label_values\((\w+), (\w+)\)/);
  assert.deepEqual(bridgesOf((await query(metric)).map((s) => ({ metric: { bridge: s.metric[label] } }))), allBridges);
});

test('a silent projector fires its alert alone; answering again resolves it; its error fires', async () => {
  const studio = rooms.find((r) => r.bridge === 'studio');
  sims.studio.kill('SIGTERM');
  await sims.studio.stopped();
  const silent = await until('not answering fired for the studio',
    async () => { const r = await firing('TovaProjectorNotAnswering'); return r.length && r; });
  assert.deepEqual(silent.map((a) => `${a.metric.bridge}/${a.metric.projector}`), ['studio/Studio']);
  assert.equal(silent[0].metric.severity, 'critical');
  assert.equal((await firing('TovaProjectorError')).length, 0);

  // Back, but with every lamp failed: it answers, and says so.
  sims.studio = startSim(studio, ['--fault', 'lamp']);
  await until('not answering resolved', async () => (await firing('TovaProjectorNotAnswering')).length === 0);
  const errors = await until('the lamp error fired',
    async () => { const r = await firing('TovaProjectorError'); return r.length && r; });
  assert.deepEqual(errors.map((a) => `${a.metric.bridge}/${a.metric.projector}/${a.metric.error}`), ['studio/Studio/lamp']);
});
