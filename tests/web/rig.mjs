// SPDX-License-Identifier: MIT
// A virtual projector, a bridge serving it with the web remote on a loopback port of its own,
// and Debian's chromium: what the browser tests and the web benchmark start.
import { spawn, execFileSync } from 'node:child_process';
import { mkdtempSync, writeFileSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { createInterface } from 'node:readline';
import puppeteer from 'puppeteer-core';

export const PASSWORD = 'stage-left-42';
export const TOKEN = 'scrape-me-please-0123';

function lines(stream, onLine) {
  createInterface({ input: stream }).on('line', onLine);
}

// Resolves with the first line for which match returns something, or rejects after ms. Lines
// already in seen count too: two lines may arrive in one read, before a second wait is set.
function waitFor(source, match, ms, what, seen = []) {
  for (const line of seen) {
    const found = match(line);
    if (found) return Promise.resolve(found);
  }
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error('timed out waiting for ' + what)), ms);
    source.push((line) => {
      const found = match(line);
      if (found) {
        clearTimeout(timer);
        resolve(found);
        return true;
      }
      return false;
    });
  });
}

// poll: the poller's period in seconds (the tests' tiles follow it quickly at 1).
// password: false serves the remote on loopback without one, as a bridge with no password file does.
export async function startRig(bin, { poll = 1, extra = [], password: withPassword = true } = {}) {
  const dir = mkdtempSync(join(tmpdir(), 'tova-web-'));
  const simLines = []; // {at, text}
  const simWaiters = [];
  const sim = spawn(join(bin, 'tova-sim'), ['--fast'], { stdio: ['ignore', 'pipe', 'pipe'] });
  const deviceWaiters = [];
  lines(sim.stdout, (l) => { for (const w of deviceWaiters.splice(0)) if (!w(l)) deviceWaiters.push(w); });
  lines(sim.stderr, (text) => {
    simLines.push({ at: Date.now(), text });
    for (let i = simWaiters.length - 1; i >= 0; --i) if (simWaiters[i](text)) simWaiters.splice(i, 1);
  });
  let bridge;
  // Whatever fails on the way up, nothing started is left running.
  const abandon = (e) => {
    bridge?.kill('SIGTERM');
    sim.kill('SIGTERM');
    rmSync(dir, { recursive: true, force: true });
    throw e;
  };
  const device = await waitFor(deviceWaiters, (l) => l.startsWith('/') && l, 10000, 'the simulator').catch(abandon);

  const password = join(dir, 'password');
  const token = join(dir, 'token');
  writeFileSync(password, PASSWORD + '\n', { mode: 0o600 });
  writeFileSync(token, TOKEN + '\n', { mode: 0o600 });
  const trace = join(dir, 'trace');
  const bridgeWaiters = [];
  const bridgeLog = [];
  bridge = spawn(join(bin, 'tova-bridge'), [
    '--device', device, '--pjlink', '127.0.0.1:0,name=Hall <left>', '--http', '127.0.0.1:0',
    ...(withPassword ? ['--http-password-file', password] : []), '--metrics-token-file', token, '--poll', String(poll), '--trace', trace, ...extra,
  ], { stdio: ['ignore', 'ignore', 'pipe'] });
  lines(bridge.stderr, (l) => {
    bridgeLog.push(l);
    for (let i = bridgeWaiters.length - 1; i >= 0; --i) if (bridgeWaiters[i](l)) bridgeWaiters.splice(i, 1);
  });
  const url = await waitFor(bridgeWaiters, (l) => (l.match(/web remote on (http:\/\/127\.0\.0\.1:\d+)/) || [])[1], 10000,
    'the bridge', bridgeLog).catch(abandon);
  await waitFor(bridgeWaiters, (l) => l.includes('open; serving'), 10000, 'the line', bridgeLog).catch(abandon);

  const browser = await puppeteer.launch({
    executablePath: execFileSync('sh', ['-c', 'command -v chromium'], { encoding: 'utf8' }).trim(),
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage'],
  }).catch(abandon);

  return {
    url,
    browser,
    // Stops the page's script as a phone's sleep would: no more messages, no events (a frozen
    // page would still say it is hidden), the socket left open.
    freeze: async (page) => {
      const cdp = await page.createCDPSession();
      await cdp.send('Debugger.enable');
      await cdp.send('Debugger.pause');
    },
    bridge,
    simLines,
    bridgeLog,
    // The simulator's next log line that matches, within ms.
    simLine: (re, ms = 5000) => waitFor(simWaiters, (t) => re.test(t) && t, ms, String(re)),
    simCount: (re) => simLines.filter((l) => re.test(l.text)).length,
    // Lines the bridge put on the wire, with their times, from its trace.
    sent: () => readFileSync(trace, 'utf8').split('\n')
      .map((l) => l.match(/^(\S+ \S+) TX "(.*)"$/))
      .filter(Boolean)
      .map((m) => ({ at: new Date(m[1].replace(' ', 'T')).getTime(), line: m[2] })),
    async stop() {
      await browser.close();
      bridge.kill('SIGTERM');
      sim.kill('SIGTERM');
      rmSync(dir, { recursive: true, force: true });
    },
  };
}

// A page of the remote, logged in, at a size.
export async function openRemote(rig, viewport = { width: 1280, height: 900 }) {
  const page = await rig.browser.newPage();
  await page.setViewport(viewport);
  await page.goto(rig.url + '/');
  await page.waitForSelector('#login:not([hidden]), #remote:not([hidden])');
  if (await page.$('#login:not([hidden])')) {
    await page.type('#password', PASSWORD);
    await page.click('#login button[type=submit]');
  }
  await page.waitForSelector('#remote:not([hidden]) #Command17');
  await page.waitForFunction(() => document.querySelector('#tile-line .value').textContent === 'up');
  return page;
}

// Holds the button down with the mouse; returns the function that lets go.
export async function press(page, selector) {
  // Scrolled and measured in the page itself: a page behind another gets no animation frames to
  // wait for, and bringing it to the front would hide the other (which lets go of its hold).
  const box = await page.$eval(selector, (e) => {
    e.scrollIntoView({ block: 'center' });
    const r = e.getBoundingClientRect();
    return { x: r.x + r.width / 2, y: r.y + r.height / 2 };
  });
  await page.mouse.move(box.x, box.y);
  await page.mouse.down();
  return () => page.mouse.up();
}

export const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
