// SPDX-License-Identifier: MIT
// The web remote's pictures for the README: a phone's first screen and a desktop's page, after
// POWER ON and a STATUS query on the virtual projector.
//   node tests/web/screenshots.mjs BUILD DOCS
import { join } from 'node:path';
import { startRig, openRemote } from './rig.mjs';

const [bin = 'build', docs = 'docs'] = process.argv.slice(2);
const rig = await startRig(bin);
try {
  const desktop = await openRemote(rig, { width: 1280, height: 800 });
  await desktop.click('#Command17');
  await desktop.waitForFunction(() => document.querySelector('#tile-power .value').textContent === 'on', { timeout: 20000 });
  await desktop.waitForFunction(() => document.querySelector('#tile-mute .value').textContent !== 'not known');
  await desktop.click('#Command44');
  await desktop.waitForFunction(() => document.querySelector('#decoded').textContent !== '');
  await desktop.screenshot({ path: join(docs, 'web-desktop.png'), fullPage: true });
  const phone = await openRemote(rig, { width: 390, height: 844, isMobile: true, hasTouch: true });
  await phone.click('#Command45');
  await phone.waitForFunction(() => document.querySelector('#decoded').textContent !== '');
  await phone.evaluate(() => window.scrollTo(0, 0));
  await phone.screenshot({ path: join(docs, 'web-phone.png') });
  console.log(`screenshots: ${join(docs, 'web-phone.png')} ${join(docs, 'web-desktop.png')}`);
} finally {
  await rig.stop();
}
