#include "sim/consoleface.h"

namespace fenwixsim {

// Plain HTML and script over the admin API; nothing is loaded from elsewhere.
const char* consolePage() {
    return R"PAGE(<!doctype html>
<html lang="en"><head><meta charset="utf-8"><title>fenwix-sim console</title>
<style>
body{font:14px/1.4 system-ui,sans-serif;margin:0;background:#f4f6f8;color:#1d2733}
header{background:#1f4e79;color:#fff;padding:10px 18px;display:flex;gap:18px;align-items:center}
header h1{font-size:18px;margin:0}
main{display:grid;grid-template-columns:1fr 1fr;gap:14px;padding:14px}
section{background:#fff;border-radius:6px;box-shadow:0 1px 3px #0002;padding:10px 14px;overflow:auto}
section.wide{grid-column:1/3}
h2{font-size:15px;margin:4px 0 8px;color:#1f4e79}
table{border-collapse:collapse;width:100%;font-size:13px}
th,td{border-bottom:1px solid #e3e7eb;padding:3px 6px;text-align:left;vertical-align:top}
th{background:#eef2f6}
tr.sel{background:#fff6d6}
label{display:inline-block;margin:2px 8px 2px 0}
input[type=text],input[type=number],select{padding:2px 4px}
textarea{width:100%;height:90px;font:12px monospace}
pre{background:#f7f7f7;padding:6px;max-height:260px;overflow:auto;font-size:12px;white-space:pre-wrap}
button{margin:2px 4px 2px 0;padding:3px 10px;cursor:pointer}
.bad{color:#b00020}.ok{color:#137333}.muted{color:#6b7785}
</style></head><body>
<header><h1>fenwix-sim</h1><span id="info" class="muted"></span>
<label><input type="checkbox" id="strict" onchange="setStrict()"> strict</label>
<label>hold ms <input type="number" id="hold" style="width:70px" onchange="setHold()"></label>
<label>down ms <input type="number" id="downMs" value="5000" style="width:70px"></label>
<button onclick="goDown()">go down</button>
<button onclick="if(confirm('Forget everything?'))call('POST','/admin/reset',{}).then(refresh)">reset</button>
<span id="status"></span></header>
<main>
<section class="wide"><h2>Devices</h2>
<table id="devices"><thead><tr><th>device key</th><th>application id</th><th>push key</th>
<th>status</th><th>screen</th><th>mic / speaker</th><th>open (spk mic cam)</th><th>room / route</th>
<th>guest</th><th>reports</th><th>last report</th><th>exited</th></tr></thead><tbody></tbody></table>
<pre id="device" class="muted">Click a device to see everything the sim knows about it.</pre></section>

<section class="wide" id="demoSection" hidden><h2>Demo class</h2>
<p class="muted">fenwix-sim --demo plays a class in a loop against every registered terminal; the newest step first.</p>
<table id="demoSteps"><thead><tr><th>time</th><th>device key</th><th>loop</th><th>step</th><th>what to look at</th></tr></thead><tbody></tbody></table></section>

<section><h2>Push command</h2>
<label>to <input type="text" id="pushTo" size="34" placeholder="DSK_... or UDSK_..."></label>
<label><select id="pushType" onchange="showPushFields()">
<option>vLogin</option><option>vLogout</option><option>desktopRoomCmd</option><option>vUpdate</option>
<option value="raw">raw payload</option></select></label>
<div id="fields-vLogin">
<label>roomId <input type="text" id="l-roomId" value="1001" size="8"></label>
<label>portal <input type="text" id="l-portal" size="22"></label>
<label>username <input type="text" id="l-username" value="student01" size="10"></label>
<label>password <input type="text" id="l-password" value="123456" size="8"></label>
<label>roomKey <input type="text" id="l-roomKey" value="rk1001" size="8"></label>
<label>displayName <input type="text" id="l-displayName" value="一号教室" size="10"></label>
<label>gDisplayName <input type="text" id="l-gDisplayName" size="10"></label>
<label>logintype <input type="text" id="l-logintype" value="1" size="2"></label></div>
<div id="fields-desktopRoomCmd" hidden>
<label><select id="c-fenwixcmd"><option>micVolumnChange</option><option>speakerVolumnChange</option></select></label>
<label>volumn <input type="text" id="c-volumn" value="70" size="5"></label></div>
<div id="fields-raw" hidden><textarea id="rawPayload">{"type":"vLogout"}</textarea></div>
<button onclick="sendPush()">queue</button>
<h2>Push users</h2><table id="users"><thead><tr><th>user id</th><th>tokens</th><th>waiting</th>
<th>polls</th><th>pending</th></tr></thead><tbody></tbody></table>
<button onclick="call('DELETE','/admin/push').then(refresh)">drop pending</button>
<button onclick="call('POST','/admin/push/expire',{}).then(refresh)">expire all tokens</button></section>

<section><h2>Business replies</h2>
<label>path <select id="bPath"></select></label>
<label>device <input type="text" id="bDevice" size="20" placeholder="all devices"></label><br>
<label><input type="checkbox" id="bSuccess" checked> success</label>
<label>message <input type="text" id="bMessage" size="20"></label>
<label><input type="checkbox" id="bMerge" checked> merge into built-in payload</label>
<label><input type="checkbox" id="bKeep"> keep payload</label>
<textarea id="bPayload">{"setting":{"ispull":1}}</textarea>
<button onclick="setBusiness()">set</button>
<button onclick="showEffective()">show effective</button>
<button onclick="call('DELETE','/admin/business').then(showEffective)">clear all</button>
<pre id="effective" class="muted"></pre></section>

<section><h2>Canned replies and faults</h2>
<label>path <input type="text" id="fPath" size="34" value="/api/business/app/reportMsg"></label><br>
<label>status <input type="number" id="fStatus" value="500" style="width:60px"></label>
<label>Location <input type="text" id="fLocation" size="12"></label>
<label>size <input type="number" id="fSize" style="width:80px"></label>
<label>delayMs <input type="number" id="fDelay" style="width:70px"></label>
<label>times <input type="number" id="fTimes" style="width:50px"></label>
<label><input type="checkbox" id="fClose"> close without reply</label>
<label><input type="checkbox" id="fPass"> pass through after delay</label>
<label>body <input type="text" id="fBody" size="30" value="not json"></label><br>
<button onclick="setFault()">set</button>
<button onclick="call('DELETE','/admin/replies').then(refresh)">clear all</button>
<table id="replies"><thead><tr><th>path</th><th>status</th><th>bytes</th><th>delay</th>
<th>times</th><th>close</th><th>pass</th></tr></thead><tbody></tbody></table></section>

<section><h2>Strict deviations</h2>
<button onclick="call('DELETE','/admin/strict').then(refresh)">clear</button>
<table id="deviations"><thead><tr><th>#</th><th>path</th><th>expected</th><th>got</th></tr></thead>
<tbody></tbody></table></section>

<section class="wide"><h2>Conference portal</h2>
<label>room <input type="text" id="pRoom" size="10" value="rk1001" placeholder="every room"></label>
<button onclick="portalSend('curtain',{status:1})">curtain down</button>
<button onclick="portalSend('curtain',{status:0})">curtain up</button>
<label>chat <input type="text" id="pChat" size="24" value="大家好"></label>
<label><input type="checkbox" id="pPrivate"> private</label>
<button onclick="portalSend('chat',{message:$('pChat').value,private:$('pPrivate').checked})">send</button>
<button onclick="portalSend('source-removed',{})">teacher source removed</button>
<button onclick="portalSend('drop',{})">drop call</button>
<button onclick="portalSend('mute',{device:'microphone',muted:true})">server mute mic</button>
<button onclick="portalSend('mute',{device:'microphone',muted:false})">unmute mic</button>
<button onclick="portalSend('mute',{device:'camera',muted:true})">server mute camera</button>
<button onclick="portalSend('mute',{device:'camera',muted:false})">unmute camera</button>
<button onclick="portalSend('notice',{})">notice</button><br>
<label>log-in <select id="pLogin"><option value="">answers</option><option>refuse</option><option>hang</option><option>badjson</option></select></label>
<label>link <select id="pLink"><option value="">answers</option><option>fail</option><option>hang</option><option>badjson</option></select></label>
<label>pin <select id="pPin"><option>success</option><option>fail</option></select></label>
<button onclick="setPortalFaults()">set faults</button>
<label>plan room for <input type="text" id="pPlanDevice" size="18" placeholder="all devices"></label>
<label><input type="checkbox" id="pPlanGuest"> guest</label>
<button onclick="planRoom()">offer plan room</button>
<table id="sessions"><thead><tr><th>session</th><th>user</th><th>guest</th><th>display name</th>
<th>room</th><th>uri</th><th>pending events</th></tr></thead><tbody></tbody></table>
<pre id="portalFaults" class="muted"></pre></section>

<section class="wide"><h2>Requests</h2>
<label>path <input type="text" id="rPath" size="40" placeholder="all paths"></label>
<label><input type="checkbox" id="rLive" checked> live</label>
<button onclick="call('DELETE','/admin/requests').then(refresh)">clear</button>
<table id="requests"><thead><tr><th>#</th><th>method</th><th>path</th><th>query</th><th>bytes</th>
<th>form</th></tr></thead><tbody></tbody></table></section>
</main>
<script>
const $ = id => document.getElementById(id);
const esc = s => String(s).replace(/[&<>"]/g, c => ({'&':'&amp;','<':'&lt;','>':'&gt;','"':'&quot;'}[c]));
let selectedDevice = '';
function say(text, good) { const s = $('status'); s.textContent = text; s.className = good ? 'ok' : 'bad'; }
async function call(method, path, body) {
  const opts = {method};
  if (body !== undefined) { opts.body = JSON.stringify(body); opts.headers = {'Content-Type':'application/json'}; }
  const r = await fetch(path, opts);
  const j = await r.json();
  if (!r.ok) { say(j.error || r.statusText, false); throw new Error(j.error); }
  return j;
}
function rows(id, list, cells, onclick) {
  const tb = $(id).tBodies[0];
  tb.innerHTML = list.map((x, i) => '<tr data-i="' + i + '">' + cells(x).map(c => '<td>' + esc(c) + '</td>').join('') + '</tr>').join('');
  if (onclick) [...tb.rows].forEach(tr => tr.onclick = () => onclick(list[tr.dataset.i], tr));
}
const when = ms => ms ? new Date(ms).toLocaleTimeString() : '';
async function refresh() {
  try {
    const s = await call('GET', '/admin/settings');
    $('info').textContent = '127.0.0.1:' + s.port;
    $('strict').checked = s.strict;
    if (document.activeElement !== $('hold')) $('hold').value = s.holdMs;
    const d = (await call('GET', '/admin/devices')).devices;
    rows('devices', d, x => { const r = x.lastReport || {}; return [x.deviceKey, x.applicationId, x.pushKey,
      r.appStatus ?? '', r.videoStatus ?? '', (r.micVolumn ?? '') + ' / ' + (r.speakerVolumn ?? ''),
      [r.speakerIsOpen, r.micIsOpen, r.cameraIsOpen].join(' '), (r.roomId ?? '') + ' / ' + (r.route ?? ''),
      r.isGuest ?? '', x.reports, when(x.lastReportAt), x.exited ? 'yes' : '']; },
      (x, tr) => { selectedDevice = x.deviceKey; $('pushTo').value = x.deviceKey; $('bDevice').value = x.deviceKey; showDevice(); });
    [...$('devices').tBodies[0].rows].forEach((tr, i) => tr.className = d[i].deviceKey === selectedDevice ? 'sel' : '');
    if (selectedDevice) showDevice();
    const demo = await call('GET', '/admin/demo');
    $('demoSection').hidden = !demo.enabled;
    rows('demoSteps', demo.steps.slice(-12).reverse(), x => [when(x.at), x.deviceKey, x.loop, x.step, x.text]);
    const p = await call('GET', '/admin/push');
    rows('users', p.users, u => [u.userId, u.tokens, u.waiting, u.polls, u.pending.map(m => m.type).join(', ')]);
    const pt = (await call('GET', '/admin/portal')).portal;
    rows('sessions', pt.sessions, x => [x.session, x.user, x.guest ? 'yes' : '', x.displayName, x.roomKey, x.uri, x.pendingEvents]);
    $('portalFaults').textContent = 'faults: ' + JSON.stringify(pt.faults) + '   rooms: ' + Object.keys(pt.rooms).join(', ');
    const rp = (await call('GET', '/admin/replies')).replies;
    rows('replies', rp, r => [r.path, r.status, r.bodyLength, r.delayMs, r.times < 0 ? '∞' : r.times, r.close ? 'yes' : '', r.passThrough ? 'yes' : '']);
    const dv = (await call('GET', '/admin/strict')).deviations.slice(-200).reverse();
    rows('deviations', dv, x => [x.seq, x.path, x.expected, x.got]);
    if ($('rLive').checked) {
      const path = $('rPath').value.trim();
      const rq = (await call('GET', '/admin/requests' + (path ? '?path=' + encodeURIComponent(path) : ''))).requests.slice(-60).reverse();
      rows('requests', rq, r => [r.seq, r.method, r.path, r.query, r.bodyLength, r.form.map(f => f.name + '=' + f.value).join('&').slice(0, 300)]);
    }
  } catch (e) { say('sim not reachable: ' + e.message, false); }
}
async function showDevice() {
  try { $('device').textContent = JSON.stringify((await call('GET', '/admin/device?deviceKey=' + encodeURIComponent(selectedDevice))).device, null, 2); } catch (e) {}
}
function showPushFields() {
  const t = $('pushType').value;
  for (const k of ['vLogin', 'desktopRoomCmd', 'raw']) $('fields-' + k).hidden = k !== t;
}
async function sendPush() {
  const to = $('pushTo').value.trim(), t = $('pushType').value;
  const body = to.startsWith('DSK_') ? {deviceKey: to} : {userId: to};
  if (t === 'raw') { try { body.payload = JSON.parse($('rawPayload').value); } catch (e) { return say('raw payload is not JSON', false); } }
  else body.type = t;
  if (t === 'vLogin') {
    body.data = {};
    for (const k of ['roomId', 'portal', 'username', 'password', 'roomKey', 'displayName', 'logintype']) body.data[k] = $('l-' + k).value;
    if ($('l-gDisplayName').value) body.data.gDisplayName = $('l-gDisplayName').value;
  }
  if (t === 'desktopRoomCmd') body.data = {fenwixcmd: $('c-fenwixcmd').value, volumn: $('c-volumn').value};
  const r = await call('POST', '/admin/push', body); say('queued for ' + r.userId + ' (' + r.pending + ' pending)', true); refresh();
}
async function setBusiness() {
  const body = {path: $('bPath').value, success: $('bSuccess').checked, message: $('bMessage').value, merge: $('bMerge').checked};
  if ($('bDevice').value.trim()) body.deviceKey = $('bDevice').value.trim();
  if (!$('bKeep').checked) { try { body.payload = JSON.parse($('bPayload').value); } catch (e) { return say('payload is not JSON', false); } }
  await call('POST', '/admin/business', body); say('reply set for ' + body.path, true); showEffective();
}
async function showEffective() {
  const dev = $('bDevice').value.trim();
  const r = await call('GET', '/admin/business' + (dev ? '?deviceKey=' + encodeURIComponent(dev) : ''));
  const key = Object.keys(r.effective).find(k => k.endsWith('/' + $('bPath').value));
  $('effective').textContent = key + '\n' + JSON.stringify(r.effective[key], null, 2) + '\n\noverrides: ' + JSON.stringify(r.overrides, null, 1);
}
async function setFault() {
  const body = {path: $('fPath').value.trim(), close: $('fClose').checked, passThrough: $('fPass').checked, body: $('fBody').value};
  const num = (id, k) => { if ($(id).value !== '') body[k] = Number($(id).value); };
  num('fStatus', 'status'); num('fSize', 'size'); num('fDelay', 'delayMs'); num('fTimes', 'times');
  if ($('fLocation').value) body.headers = {Location: $('fLocation').value};
  await call('POST', '/admin/replies', body); say('reply set for ' + body.path, true); refresh();
}
async function portalSend(what, body) {
  if ($('pRoom').value.trim()) body.roomKey = $('pRoom').value.trim();
  const r = await call('POST', '/admin/portal/' + what, body); say(what + ': delivered to ' + r.delivered, true); refresh();
}
async function setPortalFaults() {
  const v = id => $(id).value || null;
  await call('POST', '/admin/portal/faults', {login: v('pLogin'), link: v('pLink'), pin: $('pPin').value}); say('portal faults set', true); refresh();
}
async function planRoom() {
  const body = {guest: $('pPlanGuest').checked, roomKey: $('pRoom').value.trim() || 'rk1001'};
  if ($('pPlanDevice').value.trim()) body.deviceKey = $('pPlanDevice').value.trim();
  await call('POST', '/admin/portal/planroom', body); say('plan room offered', true);
}
async function setStrict() { await call('POST', '/admin/strict', {enabled: $('strict').checked}); }
async function setHold() { await call('POST', '/admin/settings', {holdMs: Number($('hold').value)}); }
async function goDown() { await call('POST', '/admin/down', {ms: Number($('downMs').value)}); say('down', true); }
for (const p of ['register', 'enterRoom', 'reportMsg', 'optionAudio', 'updateVersion', 'reportConferenceInfo',
  'reportLogsInfo', 'destroy', 'ping', 'startConferenceLive', 'stopConferenceLive'])
  $('bPath').insertAdjacentHTML('beforeend', '<option>' + p + '</option>');
$('l-portal').value = location.host;
showPushFields(); refresh(); setInterval(refresh, 2000);
</script></body></html>
)PAGE";
}

}  // namespace fenwixsim
