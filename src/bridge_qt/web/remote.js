// SPDX-License-Identifier: MIT
// The web remote: the panel's buttons, built from the tables the bridge serves, and the
// projector's state as its poller keeps it. Everything the bridge or the line says is put into
// the page as text, never as markup.
'use strict';

const KEEP_HELD_MS = 200; // the bridge lets go after 600 ms without one
const CONFIRM_MS = 3000;  // a button that asks for a second tap waits this long for it
const RECONNECT_MS = 2000;

const $ = (id) => document.getElementById(id);
const state = {
  tables: null,
  projector: 0,
  socket: null,
  tiles: [],     // per projector: the last state message and when it came
  holds: [],     // per projector: the last hold message
  holding: null, // {projector, button, timer} while this page holds a button
  confirming: null, // {button, timer} after a first tap on a button that asks for a second
};

function show(id, visible) { $(id).hidden = !visible; }
function setText(el, text) { el.textContent = text == null ? '' : String(text); }

async function start() {
  $('login').addEventListener('submit', login);
  $('logout').addEventListener('click', logout);
  const r = await fetch('tables', { credentials: 'same-origin' });
  if (r.status === 401) return askLogin('');
  if (!r.ok) return askLogin('The bridge refused: ' + r.status);
  build(await r.json());
}

function askLogin(note) {
  show('remote', false);
  show('logout', false);
  show('login', true);
  setText($('login-note'), note);
  $('password').focus();
}

async function login(event) {
  event.preventDefault();
  const body = new URLSearchParams({ password: $('password').value });
  const r = await fetch('login', { method: 'POST', body, credentials: 'same-origin' });
  $('password').value = '';
  if (r.status === 204) return start();
  askLogin(r.status === 429 ? 'Too many wrong passwords: wait a minute.' : 'Wrong password.');
}

async function logout() {
  releaseHeld();
  if (state.socket) state.socket.close();
  await fetch('logout', { method: 'POST', credentials: 'same-origin' });
  location.reload();
}

function build(tables) {
  state.tables = tables;
  show('login', false);
  show('remote', true);
  show('logout', tables.login); // nothing to log out of where no password is asked
  const tabs = $('tabs');
  tabs.replaceChildren();
  tables.projectors.forEach((p, i) => {
    const b = document.createElement('button');
    b.type = 'button';
    b.setAttribute('role', 'tab');
    setText(b, p.name);
    b.title = p.address ? p.name + ' (' + p.address + ')' : p.name;
    b.addEventListener('click', () => choose(i));
    tabs.append(b);
  });
  const groups = $('groups');
  groups.replaceChildren();
  for (const g of tables.groups) groups.append(group(g));
  choose(0);
  connect();
}

function group(g) {
  // A folded group opens on its title, and closes the other folded ones.
  const section = document.createElement(g.fold ? 'details' : 'section');
  section.className = 'group';
  const title = document.createElement(g.fold ? 'summary' : 'h2');
  setText(title, g.name);
  if (g.fold) {
    section.addEventListener('toggle', () => {
      if (!section.open) return;
      for (const other of document.querySelectorAll('details.group[open]')) if (other !== section) other.open = false;
    });
  }
  const box = document.createElement('div');
  box.className = g.grid ? 'buttons grid' : 'buttons';
  box.setAttribute('role', 'group');
  box.setAttribute('aria-label', g.name);
  for (const b of g.buttons) box.append(button(b, g.grid));
  section.append(title, box);
  return section;
}

function button(b, grid) {
  const el = document.createElement('button');
  el.type = 'button';
  el.id = b.name;
  setText(el, b.caption);
  el.title = b.tip;
  el.setAttribute('aria-label', b.tip);
  el.style.backgroundColor = b.colour;
  if (grid) {
    el.style.gridRow = String(b.row + 1);
    el.style.gridColumn = String(b.col + 1);
  }
  if (b.held) holdable(el, b.name);
  else if (b.confirm) el.addEventListener('click', () => confirmed(el, b));
  else el.addEventListener('click', () => send('press ' + state.projector + ' ' + b.name));
  return el;
}

// The first tap arms the button for CONFIRM_MS and says so; the second within them sends.
function confirmed(el, b) {
  const c = state.confirming;
  if (c && c.button === b.name) {
    disarm();
    send('press ' + state.projector + ' ' + b.name);
    return;
  }
  disarm();
  el.classList.add('armed');
  setText($('note'), 'Tap ' + b.tip + ' again within ' + CONFIRM_MS / 1000 + ' s to send it.');
  state.confirming = { button: b.name, timer: setTimeout(disarm, CONFIRM_MS) };
}

function disarm() {
  const c = state.confirming;
  if (!c) return;
  state.confirming = null;
  clearTimeout(c.timer);
  $(c.button)?.classList.remove('armed');
  setText($('note'), '');
}

// A held button acts on the pointer only, as on the panel: pressed, it repeats in the bridge
// while this page keeps saying so; any way the pointer or the page goes, it is let go.
function holdable(el, name) {
  el.dataset.held = '';
  el.tabIndex = -1;
  el.addEventListener('contextmenu', (e) => e.preventDefault());
  el.addEventListener('pointerdown', (e) => {
    if (e.button !== 0) return;
    e.preventDefault();
    el.setPointerCapture(e.pointerId);
    releaseHeld();
    const projector = state.projector;
    send('hold ' + projector + ' ' + name);
    state.holding = {
      projector,
      button: name,
      timer: setInterval(() => send('keep ' + projector), KEEP_HELD_MS),
    };
  });
  for (const ev of ['pointerup', 'pointercancel', 'lostpointercapture']) el.addEventListener(ev, releaseHeld);
}

function releaseHeld() {
  const h = state.holding;
  if (!h) return;
  state.holding = null;
  clearInterval(h.timer);
  send('release ' + h.projector);
}

function send(text) {
  if (state.socket && state.socket.readyState === WebSocket.OPEN) state.socket.send(text);
}

function connect() {
  const scheme = location.protocol === 'https:' ? 'wss://' : 'ws://';
  const socket = new WebSocket(scheme + location.host + '/socket');
  state.socket = socket;
  socket.addEventListener('open', () => setText($('connection'), ''));
  socket.addEventListener('message', (e) => received(JSON.parse(e.data)));
  socket.addEventListener('close', (e) => {
    if (state.socket !== socket) return;
    state.socket = null;
    releaseHeld();
    if (e.code === 1008) return askLogin('Log in again.');
    setText($('connection'), 'Not connected to the bridge: trying again.');
    setTimeout(connect, RECONNECT_MS);
  });
}

function received(m) {
  if (m.type === 'state') {
    state.tiles[m.projector] = { m, at: Date.now() };
    if (m.projector === state.projector) showTiles();
  } else if (m.type === 'hold') {
    state.holds[m.projector] = m;
    if (m.projector === state.projector) showHold();
  } else if (m.type === 'traffic') {
    if (m.projector === state.projector) {
      setText($('sent'), m.sent);
      setText($('received'), m.received);
      setText($('decoded'), m.decoded);
    }
  } else if (m.type === 'note') {
    if (m.projector === state.projector) setText($('note'), m.text);
  }
}

function choose(i) {
  releaseHeld();
  disarm();
  state.projector = i;
  [...$('tabs').children].forEach((b, n) => b.setAttribute('aria-selected', String(n === i)));
  for (const id of ['sent', 'received', 'decoded', 'note']) setText($(id), '');
  showTiles();
  showHold();
}

function tile(id, value, detail, alarm) {
  const t = $(id);
  setText(t.querySelector('.value'), value);
  const d = t.querySelector('.detail');
  if (d) setText(d, detail);
  t.classList.toggle('alarm', Boolean(alarm));
}

function showTiles() {
  const entry = state.tiles[state.projector];
  if (!entry) {
    for (const id of ['tile-power', 'tile-input', 'tile-mute', 'tile-lamp', 'tile-errors', 'tile-line']) tile(id, '…', '', false);
    return;
  }
  const m = entry.m;
  const down = m.line !== 'up';
  tile('tile-power', m.power, m.status, m.power === 'failed');
  tile('tile-input', m.input ?? 'not known', '', false);
  tile('tile-mute', m.mute ?? 'not known', '', false);
  tile('tile-lamp', m.lampHours ?? 'not known', '', false);
  tile('tile-errors', m.errors == null ? 'not known' : m.errors.length ? m.errors.join(', ') : 'none', '',
    m.errors != null && m.errors.length > 0);
  const age = m.age == null ? null : m.age + (Date.now() - entry.at) / 1000;
  const silent = m.answering === 'no';
  const since = silent && m.silentSince != null ? new Date(m.silentSince).toLocaleTimeString([], { hour12: false }) : '';
  const how = down ? '' : silent ? 'No answer since ' + since
    : age == null ? 'no answer yet' : 'answered ' + Math.round(age) + ' s ago';
  tile('tile-line', down ? 'line closed' : silent ? 'not answering' : 'up',
       how + (m.polled ? '' : ' (not polled: from the clients\' lines)'), down || silent);
}

function showHold() {
  const h = state.holds[state.projector];
  for (const el of document.querySelectorAll('button[data-held]')) {
    const held = Boolean(h && h.button === el.id);
    el.classList.toggle('held', held && h.by === 'you');
    el.classList.toggle('held-elsewhere', Boolean(h && h.by === 'another page'));
    el.setAttribute('aria-pressed', String(held));
  }
}

// The page going away lets go of whatever it holds; the bridge would, 600 ms later.
document.addEventListener('visibilitychange', () => { if (document.hidden) releaseHeld(); });
window.addEventListener('pagehide', releaseHeld);
setInterval(showTiles, 1000);
start();
