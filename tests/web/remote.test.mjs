// SPDX-License-Identifier: MIT
// The web remote in a real browser, on the virtual projector: login, a press reaching the wire,
// the tiles following the poller, held buttons and their release, the layouts, foreign origins,
// and /metrics as Prometheus's own checker reads it. Bounds are generous; the figures are the
// benchmark's.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import net from 'node:net';
import { join } from 'node:path';
import { startRig, openRemote, press, sleep, PASSWORD, TOKEN } from './rig.mjs';

const bin = process.env.TOVA_BIN_DIR;
let rig;

before(async () => { rig = await startRig(bin); });
after(async () => { await rig?.stop(); });

const tileText = (page, id) => page.$eval(`#${id} .value`, (e) => e.textContent);

test('a wrong password is refused; the right one opens the remote', async () => {
  const page = await rig.browser.newPage();
  await page.goto(rig.url + '/');
  await page.waitForSelector('#login:not([hidden])');
  await page.type('#password', 'not-the-password');
  await page.click('#login button[type=submit]');
  await page.waitForFunction(() => document.querySelector('#login-note').textContent !== '');
  assert.equal(await page.$eval('#login-note', (e) => e.textContent), 'Wrong password.');
  assert.equal(await page.$('#remote:not([hidden])'), null);
  await page.type('#password', PASSWORD);
  await page.click('#login button[type=submit]');
  await page.waitForSelector('#remote:not([hidden]) #Command17');
  // The tab is the listener's name, shown as text, not markup.
  assert.equal(await page.$eval('#tabs button', (e) => e.textContent), 'Hall <left>');
  await page.close();
});

test('POWER ON reaches the wire, and the power tile warms up, then comes on', async () => {
  const page = await openRemote(rig);
  const onWire = rig.simLine(/line: C 0 0 $/);
  await page.click('#Command17');
  await onWire;
  await page.waitForFunction(() => document.querySelector('#tile-power .value').textContent === 'warming up',
    { timeout: 10000 });
  await page.waitForFunction(() => document.querySelector('#tile-power .value').textContent === 'on',
    { timeout: 15000 });
  // When on, the poller asks the input and the mute too.
  await page.waitForFunction(() => document.querySelector('#tile-input .value').textContent !== 'not known');
  await page.waitForFunction(() => document.querySelector('#tile-mute .value').textContent !== 'not known');
  assert.match(await tileText(page, 'tile-mute'), /mute|signal/i);
  await page.close();
});

test('one-shot buttons work from the keyboard; held ones from the pointer only', async () => {
  const page = await openRemote(rig);
  const mute = rig.simLine(/line: C 0 B $/);
  await page.focus('#Command19'); // SOUND MUTE ON
  await page.keyboard.press('Enter');
  await mute;
  assert.equal(await page.$eval('#Command1', (e) => e.tabIndex), -1);
  assert.equal(await page.$eval('#Command1', (e) => e.getAttribute('aria-label')), 'VOL + (held)');
  await page.close();
});

test('the page, its script, its style and the tables come to under 150 KB', async () => {
  const cookie = await sessionCookie();
  let total = 0;
  for (const path of ['/', '/remote.js', '/remote.css', '/favicon.svg', '/tables']) {
    const r = await fetch(rig.url + path, { headers: { Cookie: cookie } });
    assert.equal(r.status, 200, path);
    total += (await r.arrayBuffer()).byteLength;
  }
  assert.ok(total < 150 * 1024, `${total} bytes`);
});

test("holding VOL+ for 1 s sends the held table's number of lines, give or take one", async () => {
  const page = await openRemote(rig);
  const before = rig.simCount(/line: C 0 9 $/);
  const release = await press(page, '#Command1');
  await sleep(1000);
  await release();
  await sleep(400);
  // The press, then one line every 250 ms while held.
  const lines = rig.simCount(/line: C 0 9 $/) - before;
  assert.ok(lines >= 4 && lines <= 6, `${lines} lines`);
  await page.close();
});

test('closing the page mid-hold stops the repeat within 700 ms', async () => {
  const page = await openRemote(rig);
  await press(page, '#Command59'); // LENS SHIFT up: every 105 ms while held
  await sleep(500);
  const closed = Date.now();
  await page.close();
  await sleep(1500);
  const moves = rig.sent().filter((s) => s.line === ' C 5 D CR ');
  assert.ok(moves.length >= 3, `${moves.length} lines while held`);
  const last = moves[moves.length - 1].at;
  assert.ok(last - closed <= 700, `the last line ${last - closed} ms after the page closed`);
});

test('a page that goes to sleep mid-hold is let go within 700 ms', async () => {
  const page = await openRemote(rig);
  await press(page, '#Command62'); // LENS SHIFT down
  await sleep(500);
  const froze = Date.now();
  await rig.freeze(page); // no keep-held, no release, no close
  await sleep(1500);
  const moves = rig.sent().filter((s) => s.line === ' C 5 E CR ');
  assert.ok(moves.length >= 3, `${moves.length} lines while held`);
  const last = moves[moves.length - 1].at;
  assert.ok(last - froze <= 700, `the last line ${last - froze} ms after the page froze`);
  await page.close();
});

test('a second page cannot take a held button; it is told so', async () => {
  const holder = await openRemote(rig);
  const other = await openRemote(rig);
  const release = await press(holder, '#Command2');
  await other.waitForSelector('#Command2.held-elsewhere');
  await press(other, '#Command15');
  await other.waitForFunction(() => /Another page holds/.test(document.querySelector('#note').textContent));
  await other.mouse.up();
  await release();
  await holder.close();
  await other.close();
});

for (const [name, viewport] of [
  ['phone', { width: 390, height: 844, isMobile: true, hasTouch: true }],
  ['desktop', { width: 1280, height: 800 }],
]) {
  test(`the ${name} layout: no control overlaps another or leaves the viewport`, async () => {
    const page = await openRemote(rig, viewport);
    const problems = await page.evaluate(() => {
      const out = [];
      const width = document.documentElement.clientWidth;
      if (document.documentElement.scrollWidth > width) out.push('scrolls sideways');
      // What is shown: a folded group's buttons are not.
      const controls = [...document.querySelectorAll('button, input')].filter((e) => e.offsetParent !== null && e.checkVisibility());
      const rects = controls.map((e) => [e.id || e.textContent, e.getBoundingClientRect()]);
      for (const [id, r] of rects) {
        if (r.left < 0 || r.right > width) out.push(`${id} leaves the viewport`);
        if (r.width < 44 || r.height < 44) out.push(`${id} is ${r.width}x${r.height}`);
      }
      for (let i = 0; i < rects.length; ++i)
        for (let j = i + 1; j < rects.length; ++j) {
          const [a, ra] = rects[i], [b, rb] = rects[j];
          if (ra.left < rb.right && rb.left < ra.right && ra.top < rb.bottom && rb.top < ra.bottom)
            out.push(`${a} overlaps ${b}`);
        }
      return out;
    });
    assert.deepEqual(problems, []);
    await page.close();
  });
}

test('on a phone: power, input, mute, no show and the lens within two screens, the sources folded', async () => {
  const page = await openRemote(rig, { width: 390, height: 844, isMobile: true, hasTouch: true });
  const tops = await page.evaluate(() => Object.fromEntries([...document.querySelectorAll('#groups > .group')]
    .map((g) => [g.querySelector('h2, summary').textContent, g.getBoundingClientRect().top + window.scrollY])));
  for (const name of ['POWER', 'INPUT MODE SET', 'SOUND MUTE', 'NO SHOW', 'Focus', 'Zoom', 'LENS SHIFT'])
    assert.ok(tops[name] < 2 * 844, `${name} starts at ${tops[name]} px`);
  const sources = ['Input 1 source', 'Input 2 source', 'Input 3 source'];
  for (const name of sources) assert.ok(tops[name] > tops['LENS SHIFT'], `${name} before the lens`);
  const open = () => page.$$eval('details.group', (ds) => ds.filter((d) => d.open).map((d) => d.querySelector('summary').textContent));
  assert.deepEqual(await open(), []);
  const inputOne = await page.$eval('details.group', (d) => d.querySelector('button').id);
  assert.equal(await page.$eval('#' + inputOne, (e) => e.checkVisibility()), false); // folded: not shown
  for (const name of sources) {
    await page.evaluate((n) => [...document.querySelectorAll('details.group > summary')]
      .find((s) => s.textContent === n).scrollIntoView({ block: 'center' }), name);
    const [summary] = await page.$$(`xpath/.//summary[text()="${name}"]`);
    await summary.tap();
    await page.waitForFunction((n) => [...document.querySelectorAll('details.group[open] > summary')].some((s) => s.textContent === n), {}, name);
    assert.deepEqual(await open(), [name]); // one open at a time
  }
  await page.close();
});

test('a remote with no password offers no Log out; one with a password does', async () => {
  const open = await startRig(bin, { password: false });
  try {
    const page = await openRemote(open);
    assert.equal(await page.$eval('#logout', (e) => e.hidden), true);
  } finally {
    await open.stop();
  }
  const page = await openRemote(rig);
  assert.equal(await page.$eval('#logout', (e) => e.hidden), false);
  await page.close();
});

// A login from the page's own origin, as a browser sends it: the session cookie.
async function sessionCookie() {
  const r = await fetch(rig.url + '/login', {
    method: 'POST', headers: { Origin: rig.url, 'Content-Type': 'application/x-www-form-urlencoded' },
    body: 'password=' + encodeURIComponent(PASSWORD),
  });
  assert.equal(r.status, 204);
  return r.headers.get('set-cookie').split(';')[0];
}

// A WebSocket opened by hand: the browser would not let a test choose its Origin.
function openSocket(origin, cookie, message) {
  const { hostname, port } = new URL(rig.url);
  return new Promise((resolve, reject) => {
    const s = net.connect(Number(port), hostname);
    let data = Buffer.alloc(0);
    s.on('connect', () => s.write(`GET /socket HTTP/1.1\r\nHost: ${hostname}:${port}\r\nUpgrade: websocket\r\n` +
      'Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n' +
      `Origin: ${origin}\r\nCookie: ${cookie}\r\n\r\n`));
    s.on('data', (d) => {
      const first = data.length === 0;
      data = Buffer.concat([data, d]);
      if (first) { // a masked text frame right after the handshake
        const payload = Buffer.from(message);
        const mask = Buffer.from([1, 2, 3, 4]);
        const frame = Buffer.concat([Buffer.from([0x81, 0x80 | payload.length]), mask,
          Buffer.from(payload.map((b, i) => b ^ mask[i % 4]))]);
        s.write(frame);
      }
    });
    s.on('close', () => {
      const text = data.toString('latin1');
      const head = text.indexOf('\r\n\r\n');
      const frames = data.subarray(head + 4);
      const close = frames.length >= 4 && (frames[0] & 0x0f) === 8 ? frames.readUInt16BE(2) : null;
      resolve({ status: text.split('\r\n')[0], close });
    });
    s.on('error', reject);
    setTimeout(() => s.destroy(), 3000);
  });
}

test('a foreign Origin is refused: no login, and its socket is closed with no effect', async () => {
  const login = await fetch(rig.url + '/login', {
    method: 'POST', headers: { Origin: 'http://evil.example', 'Content-Type': 'application/x-www-form-urlencoded' },
    body: 'password=' + encodeURIComponent(PASSWORD),
  });
  assert.equal(login.status, 403);
  assert.equal(login.headers.get('set-cookie'), null);
  const cookie = await sessionCookie();
  const before = rig.simCount(/line: C 0 1 $/);
  const refused = await openSocket('http://evil.example', cookie, 'press 0 Command18');
  assert.equal(refused.close, 1008);
  await sleep(500);
  assert.equal(rig.simCount(/line: C 0 1 $/), before, 'POWER OFF went out');
  // The same socket from the page's own origin works: the refusal was the origin's.
  const mute = rig.simLine(/line: C 0 B $/);
  const allowed = await openSocket(rig.url, cookie, 'press 0 Command19');
  await mute;
  assert.notEqual(allowed.close, 1008);
});

test('/metrics passes promtool, for the token and the session, and not for nobody', async () => {
  assert.equal((await fetch(rig.url + '/metrics')).status, 401);
  const r = await fetch(rig.url + '/metrics', { headers: { Authorization: 'Bearer ' + TOKEN } });
  assert.equal(r.status, 200);
  const text = await r.text();
  assert.match(text, /tova_projector_power\{projector="Hall <left>",address="",state="on"\} 1/);
  const promtool = join(process.env.TOVA_TOOLS_DIR, 'promtool');
  execFileSync(promtool, ['check', 'metrics'], { input: text });
  const bySession = await fetch(rig.url + '/metrics', { headers: { Cookie: await sessionCookie() } });
  assert.equal(bySession.status, 200);
});

// Last: it leaves the projector off.
test('POWER OFF asks for a second tap within 3 s; a lone tap sends nothing', async () => {
  const page = await openRemote(rig, { width: 390, height: 844, isMobile: true, hasTouch: true });
  const offLines = () => rig.sent().filter((l) => l.line.includes('C01')).length;
  const before = offLines();
  await page.tap('#Command18');
  await page.waitForFunction(() => /again within 3 s/.test(document.querySelector('#note').textContent));
  await sleep(3300); // the first tap lapses
  assert.equal(await page.$eval('#note', (e) => e.textContent), '');
  assert.equal(offLines(), before);
  const off = rig.simLine(/line: C 0 1 $/);
  await page.tap('#Command18');
  await sleep(500);
  await page.tap('#Command18');
  await off;
  assert.equal(await page.$eval('#Command18', (e) => e.classList.contains('armed')), false);
  await page.close();
});
