// SPDX-License-Identifier: MIT
// The web remote's figures, in Debian's chromium on the virtual projector: a press in the page
// to its line on the wire (p50, p99 over 200 presses), the time a hold takes to stop after its
// page closed (20 tries), the page's transfer size, and the bridge's memory with 20 pages open.
// It prints figures; it never fails on one.
import { readFileSync } from 'node:fs';
import { startRig, openRemote, press, sleep, PASSWORD } from '../tests/web/rig.mjs';

const bin = process.argv[2] || 'build';
const rig = await startRig(bin, { poll: 5 }); // the poller at its default period
const quantile = (xs, q) => [...xs].sort((a, b) => a - b)[Math.min(xs.length - 1, Math.floor(q * xs.length))];
const rssKb = () => Number(readFileSync(`/proc/${rig.bridge.pid}/status`, 'utf8').match(/VmRSS:\s+(\d+)/)[1]);
const row = (what, figure) => console.log(`${what.padEnd(58)} ${figure}`);

try {
  const page = await openRemote(rig);

  // Press to wire: the click's time in the page, the line's in the bridge's trace.
  const latencies = [];
  for (let i = 0; i < 200; ++i) {
    const before = rig.sent().length;
    const name = i % 2 ? 'Command19' : 'Command20'; // SOUND MUTE ON, OFF
    const clicked = await page.evaluate((n) => { const t = Date.now(); document.getElementById(n).click(); return t; }, name);
    let sent;
    for (let tries = 0; tries < 200 && !(sent = rig.sent()[before]); ++tries) await sleep(5);
    if (sent) latencies.push(sent.at - clicked);
    await sleep(60); // its reply, before the next
  }
  row('press in the page to the line on the wire, p50 / p99', `${quantile(latencies, 0.5)} / ${quantile(latencies, 0.99)} ms (${latencies.length} presses)`);

  // A hold's last line after its page closed (it says so as it goes), and after it froze (a
  // phone asleep: the bridge lets go when the keep-held messages stop), 20 times each.
  for (const [what, end] of [['closed', (p) => p.close()], ['froze', (p) => rig.freeze(p)]]) {
    const stops = [];
    for (let i = 0; i < 20; ++i) {
      const p = await openRemote(rig);
      await press(p, '#Command59');
      await sleep(400);
      const at = Date.now();
      await end(p);
      await sleep(1200);
      const moves = rig.sent().filter((s) => s.line === ' C 5 D CR ' && s.at >= at - 500);
      stops.push(moves.length ? moves[moves.length - 1].at - at : 0);
      if (!p.isClosed()) await p.close();
    }
    row(`a hold's last line after its page ${what}, median / max`,
      `${quantile(stops, 0.5)} / ${Math.max(...stops)} ms (20 tries; below 0: before it)`);
  }

  // What a page loads (the session cookie is HttpOnly: a login of its own).
  const login = await fetch(rig.url + '/login', {
    method: 'POST', headers: { Origin: rig.url, 'Content-Type': 'application/x-www-form-urlencoded' },
    body: 'password=' + encodeURIComponent(PASSWORD),
  });
  const session = login.headers.get('set-cookie').split(';')[0];
  let bytes = 0;
  for (const path of ['/', '/remote.js', '/remote.css', '/favicon.svg', '/tables'])
    bytes += (await (await fetch(rig.url + path, { headers: { Cookie: session } })).arrayBuffer()).byteLength;
  row('the page, its script, style, icon and tables', `${(bytes / 1024).toFixed(1)} KB`);

  // Memory with 20 pages open.
  const idle = rssKb();
  const pages = [];
  for (let i = 0; i < 20; ++i) pages.push(await openRemote(rig));
  await sleep(3000); // a few polls' tiles to each
  row('bridge resident memory: 1 page / 20 pages open', `${(idle / 1024).toFixed(1)} / ${(rssKb() / 1024).toFixed(1)} MB`);
} finally {
  await rig.stop();
}
