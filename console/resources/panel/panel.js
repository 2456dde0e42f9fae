// The take and tally panel: the console's state live in a browser, and its
// takes from a seat in the gallery. Everything shown is what the console
// sent; a take is a command to the console, whose answer (and the CG
// server's confirmation) is the only thing that turns a tile red or green.

import { Model, PGM, PVW, OFF } from './model.js'
import { Link } from './link.js'
import { VirtualGrid } from './grid.js'
import { Pictures } from './pictures.js'
import { t, setLanguage, age } from './i18n.js'

const KEY_TOKEN = 'ovpanel.token'
const KEY_SEAT = 'ovpanel.seat'
const KEY_LANGUAGE = 'ovpanel.language'
const KEY_TOUCH = 'ovpanel.touchConfirm'
const ARM_MS = 3000
const SENDING_MS = 5000
const TOAST_MS = 4000

const $ = (id) => document.getElementById(id)

// Storage can be refused (a private window, a policy): the page then keeps
// nothing, and still works for this visit.
const storage = {
  read(area, key) {
    try {
      return window[area].getItem(key)
    } catch {
      return null
    }
  },
  write(area, key, value) {
    try {
      if (value === null) window[area].removeItem(key)
      else window[area].setItem(key, value)
    } catch {
      // kept for this visit only
    }
  },
}

const model = new Model()
const link = new Link({
  message: onMessage,
  status: renderStatus,
  authFailed: onAuthFailed,
  dropped: onDropped,
})
const pictures = new Pictures(link, (guid) => tiles.update(guid))

let freshAt = 0 // when the shown state was last known to be the console's
let everLive = false
let filter = ''
let matches = null // indices into model.items while a search is typed
let matchesDirty = false
let firstTilesMarked = false
const sending = new Map() // guid -> timer
let armed = null // { key, timer }
let lastPointer = { type: '', at: 0 }
let toastTimer = null

// ---- tiles ------------------------------------------------------------------

const tiles = new VirtualGrid({
  content: $('tiles'),
  scroller: window,
  minWidth: 272,
  gap: 10,
  overscan: 2,
  count: () => (matches ? matches.length : model.total),
  key: (i) => {
    const item = model.items[matches ? matches[i] : i]
    return item ? item.guid : `\u0000${i}`
  },
  create: createTile,
  fill: fillTile,
})
window.addEventListener('scroll', () => pictures.hold(150), { passive: true })
tiles.onDrawn = () => {
  const shown = new Set()
  tiles.each((node) => node.ovGuid && shown.add(node.ovGuid))
  pictures.keepOnly(shown)
  if (!firstTilesMarked && shown.size) {
    firstTilesMarked = true
    // The frame after this one starts once these tiles were painted.
    requestAnimationFrame(() => setTimeout(() => performance.mark('ov-first-tiles')))
  }
}

function element(tag, className, parent) {
  const el = document.createElement(tag)
  if (className) el.className = className
  if (parent) parent.appendChild(el)
  return el
}

function createTile() {
  const node = element('div', 'tile')
  node.setAttribute('role', 'listitem')
  const thumb = element('div', 'thumb', node)
  node.ovImg = element('img', '', thumb)
  node.ovImg.alt = ''
  node.ovImg.hidden = true
  node.ovNumber = element('span', 'thumb-number', thumb)
  const meta = element('div', 'meta', node)
  const title = element('div', 'name', meta)
  node.ovPos = element('span', 'pos', title)
  node.ovName = element('span', '', title)
  const badges = element('div', 'badges', meta)
  node.ovTally = element('span', 'tally', badges)
  node.ovCurrent = element('span', 'current-badge', badges)
  node.ovSending = element('span', 'sending', badges)
  const acts = element('div', 'acts', node)
  node.ovButtons = {}
  for (const act of ['pgm', 'pvw', 'cancel']) {
    const b = element('button', `take ${act}`, acts)
    b.type = 'button'
    b.dataset.act = act
    node.ovButtons[act] = b
  }
  node.ov = {}
  return node
}

// Writes only what differs from what the node shows, so that scrolling and
// a single status change touch a few attributes.
function put(node, field, value, write) {
  if (node.ov[field] === value) return
  node.ov[field] = value
  write(value)
}

function fillTile(node, i) {
  const index = matches ? matches[i] : i
  const item = model.items[index]
  node.ovGuid = item ? item.guid : null
  put(node, 'posinset', i + 1, (v) => node.setAttribute('aria-posinset', String(v)))
  put(node, 'setsize', tiles.count(), (v) => node.setAttribute('aria-setsize', String(v)))
  put(node, 'pos', index + 1, (v) => (node.ovPos.textContent = String(v)))
  put(node, 'number', index + 1, (v) => (node.ovNumber.textContent = String(v)))
  if (!item) {
    // Not received yet: a cell that was a tile a moment ago keeps nothing of it.
    put(node, 'name', null, () => {
      node.ovName.textContent = t('loading')
      node.title = ''
    })
    put(node, 'cls', 'tile placeholder', (v) => (node.className = v))
    put(node, 'tally', OFF, () => (node.ovTally.textContent = ''))
    put(node, 'current', false, () => (node.ovCurrent.textContent = ''))
    put(node, 'sending', false, () => (node.ovSending.textContent = ''))
    put(node, 'img', null, () => (node.ovImg.hidden = true))
    return
  }
  put(node, 'name', item.name, (v) => {
    node.ovName.textContent = v
    node.title = v
  })
  const current = model.current && model.current.guid === item.guid
  const isSending = sending.has(item.guid)
  const cls = `tile${item.status === PGM ? ' pgm' : item.status === PVW ? ' pvw' : ''}${current ? ' current' : ''}`
  put(node, 'cls', cls, (v) => (node.className = v))
  put(node, 'tally', item.status, (v) => (node.ovTally.textContent = v === PGM ? 'PGM' : v === PVW ? 'PVW' : ''))
  put(node, 'current', current, (v) => (node.ovCurrent.textContent = v ? t('currentBadge') : ''))
  put(node, 'sending', isSending, (v) => (node.ovSending.textContent = v ? t('sending') : ''))
  const url = pictures.url(item.guid, item.picture)
  put(node, 'img', url, (v) => {
    if (v) node.ovImg.src = v
    else node.ovImg.removeAttribute('src')
    node.ovImg.hidden = !v
  })
  const canTake = takesOn()
  for (const [act, button] of Object.entries(node.ovButtons)) {
    const target = act === 'pgm' ? PGM : act === 'pvw' ? PVW : OFF
    const off = !canTake || isSending || item.status === target
    const isArmed = armed && armed.key === `${item.guid}|${act}`
    put(node, `${act}-off`, off, (v) => button.setAttribute('aria-disabled', String(v)))
    put(node, `${act}-armed`, isArmed, (v) => button.classList.toggle('armed', v))
    const label = takeLabel(act, item.name)
    const name = t(act === 'cancel' ? 'off' : act)
    put(node, `${act}-text`, isArmed ? t('tapAgain', name) : name, (v) => (button.textContent = v))
    put(node, `${act}-label`, isArmed ? t('tapAgainLabel', label) : label, (v) => button.setAttribute('aria-label', v))
  }
}

function takeLabel(act, name) {
  return t(act === 'pgm' ? 'takePgm' : act === 'pvw' ? 'takePvw' : 'takeOff', name)
}

function redrawTiles() {
  tiles.each((node) => (node.ov = {}))
  tiles.schedule()
}

// ---- search -----------------------------------------------------------------

// As the console's search: the name contains what was typed, ignoring case.
function refilter() {
  matchesDirty = false
  if (!filter) {
    matches = null
  } else {
    matches = []
    const items = model.items
    for (let i = 0; i < items.length; i++) if (items[i].name.toLowerCase().includes(filter)) matches.push(i)
  }
  renderSearchCount()
}

function renderSearchCount() {
  // Still arriving: a screen reader is told the list is not whole yet.
  $('tiles').setAttribute('aria-busy', String(model.items.length < model.total))
  $('search-count').textContent = matches ? t('searchCount', matches.length, model.total) : ''
  $('search-clear').hidden = !filter
  const empty = $('catalogue-empty')
  const text = model.fresh && !model.total ? t('catalogueEmpty') : matches && !matches.length ? t('noMatch') : ''
  empty.textContent = text
  empty.hidden = !text
}

function setFilter(value) {
  const next = value.toLowerCase()
  if (next === filter) return
  filter = next
  refilter()
  window.scrollTo({ top: Math.min(window.scrollY, tilesTop()) })
  tiles.schedule()
}

function tilesTop() {
  return $('tiles').getBoundingClientRect().top + window.scrollY - (parseFloat(getComputedStyle($('searchbar')).top) || 0)
}

function structureChanged() {
  if (filter) matchesDirty = true
  scheduleStructure()
}

let structureScheduled = false
function scheduleStructure() {
  if (structureScheduled) return
  structureScheduled = true
  requestAnimationFrame(() => {
    structureScheduled = false
    if (matchesDirty) refilter()
    renderSearchCount()
    tiles.render()
    renderOrder()
  })
}

// ---- running order ----------------------------------------------------------

const order = new VirtualGrid({
  content: $('order'),
  scroller: $('order-scroll'),
  minWidth: 0,
  gap: 0,
  overscan: 4,
  count: () => model.cues.length,
  key: (i) => `${i}`,
  create() {
    const row = element('div', 'cue')
    row.setAttribute('role', 'listitem')
    row.ovNum = element('span', 'cue-index', row)
    row.ovName = element('span', 'cue-name', row)
    row.ovTally = element('span', 'tally', row)
    row.ovTime = element('span', 'cue-time quiet', row)
    row.ov = {}
    return row
  },
  fill(row, i) {
    const cue = model.cues[i]
    const item = model.item(cue.guid)
    const next = model.next === i + 1
    const missing = !item && model.items.length >= model.total
    const status = item ? item.status : OFF
    put(row, 'cls', `cue${next ? ' next' : ''}${missing ? ' missing' : ''}${status === PGM ? ' pgm' : status === PVW ? ' pvw' : ''}`, (v) => (row.className = v))
    put(row, 'index', next ? `${i + 1} ▶` : String(i + 1), (v) => (row.ovNum.textContent = v))
    put(row, 'name', cue.name, (v) => (row.ovName.textContent = v))
    put(row, 'tally', status, (v) => (row.ovTally.textContent = v === PGM ? 'PGM' : v === PVW ? 'PVW' : ''))
    put(row, 'time', cue.duration, (v) => (row.ovTime.textContent = v ? t('seconds', v) : ''))
    put(row, 'label', next, (v) => row.setAttribute('aria-current', v ? 'step' : 'false'))
  },
})
$('order-box').addEventListener('toggle', () => order.schedule())

function renderOrder() {
  $('order-count').textContent = model.cueTotal ? `(${model.cueTotal})` : ''
  $('order-empty').hidden = model.cues.length > 0
  $('order-scroll').hidden = model.cues.length === 0
  order.each((row) => (row.ov = {}))
  order.schedule()
  const cue = model.nextCue
  $('next-name').textContent = cue ? `${model.next}. ${cue.name}` : t('none')
  $('go').setAttribute('aria-label', cue ? t('goLabel', cue.name) : t('goLabelNone'))
}

// ---- state and status -------------------------------------------------------

function live() {
  return link.state === 'authenticated' && model.fresh && !link.silent
}

function takesOn() {
  return live() && model.canCommand && !model.locked && model.connected
}

let wasTakesOn = false
let wasLive = false

function renderStatus() {
  const isLive = live()
  // The shown state is the console's as of the last message heard.
  if (isLive) freshAt = link.lastInbound
  const view = model.role === 'view'
  document.body.classList.toggle('stale', !isLive)
  document.body.classList.toggle('view', view)
  document.body.classList.toggle('locked', model.locked)

  const linkChip = $('link-state')
  let linkText
  if (isLive) linkText = t('consoleLive')
  else if (link.silent) linkText = t('consoleSilent')
  else if (link.state === 'waiting') linkText = t('consoleRetry', Math.max(1, Math.ceil((link.retryAt - Date.now()) / 1000)))
  else if (link.state === 'failed' || link.state === 'idle') linkText = t('consoleDown')
  else linkText = t('consoleConnecting')
  setText(linkChip, linkText)
  linkChip.className = `chip ${isLive ? 'ok' : 'bad'}`

  const server = $('server-state')
  setText(server, model.connected ? (model.server ? t('serverOn', model.server) : t('serverOnNoName')) : t('serverOff'))
  server.className = `chip ${model.connected ? 'ok' : 'bad'}`
  $('lock-state').hidden = !model.locked
  $('role-state').hidden = !view
  setText($('rtt'), link.rtt === null ? '' : t('rtt', Math.max(0, Math.round(link.rtt))))
  $('rtt').hidden = link.rtt === null

  const stale = $('stale')
  stale.hidden = isLive
  if (!isLive) setText(stale, everLive ? t('staleAge', age(Date.now() - freshAt)) : t('staleWaiting'))

  const notice = $('notice')
  const protocolOff = model.fresh && model.protocol !== 2
  notice.hidden = !protocolOff
  notice.textContent = protocolOff ? t('protocol', model.protocol) : ''
  const ignored = model.refused + link.ignored
  $('ignored').hidden = !ignored
  setText($('ignored'), ignored ? t('ignored', ignored) : '')

  const on = takesOn()
  setOff($('go'), !on || !model.nextCue)
  setOff($('lock'), !live() || !model.canCommand)
  setOff($('clearall'), !on)
  setText($('lock'), model.locked ? t('unlock') : t('lock'))
  $('lock').classList.toggle('armed-lock', model.locked)
  renderGoArmed()

  if (on !== wasTakesOn || isLive !== wasLive) {
    wasTakesOn = on
    wasLive = isLive
    tiles.each((node, i) => tiles.fill(node, i))
  }
}

// The bar is redrawn every second for the age it shows: only what changed is written.
function setText(el, text) {
  if (el.textContent !== text) el.textContent = text
}

function setOff(button, off) {
  button.setAttribute('aria-disabled', String(off))
}

function renderNow() {
  const current = model.current
  const index = current ? model.indexOf(current.guid) : -1
  const name = model.currentName()
  $('current-name').textContent = current ? (index >= 0 ? `${index + 1}. ${name}` : name || t('none')) : t('none')
  const status = index >= 0 ? model.items[index].status : OFF
  const tally = $('current-tally')
  tally.textContent = status === PGM ? 'PGM' : status === PVW ? 'PVW' : ''
  tally.className = `tally${status === PGM ? ' pgm' : status === PVW ? ' pvw' : ''}`
  const take = model.lastTake
  $('last-take').textContent = take
    ? take.status === OFF
      ? t('confirmedOff', take.name, take.ms ?? '—')
      : t('confirmed', take.name, take.status === PGM ? 'PGM' : 'PVW', take.ms ?? '—')
    : ''
}

function renderSeats() {
  const list = $('seats')
  list.textContent = ''
  for (const seat of model.seats) {
    const li = element('li', '', list)
    element('span', '', li).textContent = seat.seat || t('seatUnnamed')
    element('span', 'quiet', li).textContent = seat.role === 'view' ? t('roleView') : t('roleControl')
  }
  $('seat-count').textContent = `(${model.seats.length})`
}

function applyLanguage(code) {
  setLanguage(code)
  storage.write('localStorage', KEY_LANGUAGE, code)
  redrawTiles()
  renderAll()
}

function renderAll() {
  renderStatus()
  renderNow()
  renderSeats()
  renderOrder()
  renderSearchCount()
  $('own-seat').textContent = t('seatOwn', link.seat || t('seatUnnamed'))
}

function onMessage(msg) {
  const change = model.apply(msg)
  if (!change) {
    if (model.refused) renderStatus()
    return
  }
  switch (change.kind) {
    case 'state': {
      everLive = true
      const language = model.language === 'en' ? 'en' : 'zh'
      for (const guid of [...sending.keys()]) clearSending(guid)
      if (filter) matchesDirty = true
      if (language !== document.documentElement.lang.slice(0, 2)) applyLanguage(language)
      else renderAll()
      redrawTiles()
      scheduleStructure()
      break
    }
    case 'items':
      structureChanged()
      renderNow()
      break
    case 'item':
    case 'take':
      if (change.guid) {
        clearSending(change.guid)
        if (filter) structureChanged() // a rename may change what matches
        tiles.update(change.guid)
        if (model.cues.some((cue) => cue.guid === change.guid)) renderOrder()
      }
      renderNow()
      if (change.kind === 'take' && model.lastTake) announceTake(model.lastTake)
      break
    case 'current':
      redrawTiles()
      renderNow()
      break
    case 'cues':
      renderOrder()
      renderStatus()
      break
    case 'seats':
      renderSeats()
      break
    default:
      renderStatus()
  }
  if (change.kind === 'connected' || change.kind === 'locked') renderStatus()
}

function announceTake(take) {
  announce(take.status === OFF ? t('offAir', take.name) : t('onAir', take.name, take.status === PGM ? 'PGM' : 'PVW'))
}

function announce(text) {
  const region = $('announce')
  region.textContent = ''
  // A fresh text node, so that the same sentence twice is read twice.
  requestAnimationFrame(() => (region.textContent = text))
}

function toast(text) {
  const el = $('toast')
  el.textContent = text
  el.hidden = false
  clearTimeout(toastTimer)
  toastTimer = setTimeout(() => (el.hidden = true), TOAST_MS)
}

function onDropped() {
  model.stale()
  for (const guid of [...sending.keys()]) clearSending(guid)
  disarm()
  renderStatus()
}

function onAuthFailed() {
  storage.write('sessionStorage', KEY_TOKEN, null)
  storage.write('localStorage', KEY_TOKEN, null)
  showLogin(t('authFailure'))
}

// ---- takes ------------------------------------------------------------------

const ERRORS = {
  locked: 'errLocked',
  'not connected': 'errNotConnected',
  'read only': 'errReadOnly',
  'no such item': 'errNoItem',
  'nothing to go': 'errNothingToGo',
  'rate limited': 'errRateLimited',
}

function errorText(error) {
  const key = ERRORS[error]
  return key ? t(key) : t('errOther', typeof error === 'string' ? error : '?')
}

function command(cmd, fields) {
  return link.send(cmd, fields).then(
    (answer) => {
      if (!answer.ok) toast(errorText(answer.error))
      return answer.ok === true
    },
    () => {
      toast(t('errNoAnswer'))
      return false
    },
  )
}

function clearSending(guid) {
  const timer = sending.get(guid)
  if (timer === undefined) return
  clearTimeout(timer)
  sending.delete(guid)
  tiles.update(guid)
}

function takeItem(act, guid) {
  sending.set(
    guid,
    setTimeout(() => clearSending(guid), SENDING_MS),
  )
  tiles.update(guid)
  command(act, { item: guid }).then((ok) => {
    if (!ok) clearSending(guid)
  })
}

function touchConfirmOn() {
  return storage.read('localStorage', KEY_TOUCH) !== '0'
}

function fromTouch() {
  return lastPointer.type === 'touch' && performance.now() - lastPointer.at < 1500
}

// A take from a touch screen arms its button first; the same button tapped
// again within 3 s fires it. Keys and a mouse fire at once.
function guarded(button, key, run) {
  if (button.getAttribute('aria-disabled') === 'true') return
  if (fromTouch() && touchConfirmOn()) {
    if (armed && armed.key === key) {
      disarm()
      run()
    } else {
      arm(key)
    }
    return
  }
  disarm()
  run()
}

function arm(key) {
  disarm()
  armed = { key, timer: setTimeout(disarm, ARM_MS) }
  announce(t('armedNotice'))
  refreshArmed()
}

function disarm() {
  if (!armed) return
  clearTimeout(armed.timer)
  armed = null
  refreshArmed()
}

function refreshArmed() {
  tiles.each((node, i) => tiles.fill(node, i))
  renderGoArmed()
}

function renderGoArmed() {
  const go = $('go')
  const isArmed = !!armed && armed.key === 'go'
  go.classList.toggle('armed', isArmed)
  setText(go, isArmed ? t('tapAgain', t('go')) : t('go'))
}

document.addEventListener(
  'pointerdown',
  (event) => {
    lastPointer = { type: event.pointerType, at: performance.now() }
  },
  true,
)
document.addEventListener('keydown', () => (lastPointer = { type: 'key', at: performance.now() }), true)

$('tiles').addEventListener('click', (event) => {
  const button = event.target.closest('button[data-act]')
  const node = button && button.closest('.tile')
  if (!node || !node.ovGuid) return
  const guid = node.ovGuid
  guarded(button, `${guid}|${button.dataset.act}`, () => takeItem(button.dataset.act, guid))
})

$('go').addEventListener('click', (event) => guarded(event.currentTarget, 'go', () => command('go')))

$('lock').addEventListener('click', (event) => {
  if (event.currentTarget.getAttribute('aria-disabled') === 'true') return
  command(model.locked ? 'unlock' : 'lock')
})

$('clearall').addEventListener('click', (event) => {
  if (event.currentTarget.getAttribute('aria-disabled') === 'true') return
  disarm()
  $('confirm').showModal()
  $('confirm-no').focus()
})
$('confirm-no').addEventListener('click', () => $('confirm').close())
$('confirm-yes').addEventListener('click', () => {
  $('confirm').close()
  // The state may have gone stale while the question was open.
  if (takesOn()) command('clearall')
})

// ---- search field, keys -----------------------------------------------------

$('search').addEventListener('input', (event) => setFilter(event.target.value))
$('search').addEventListener('keydown', (event) => {
  if (event.key === 'Escape') {
    event.target.value = ''
    setFilter('')
  }
})
$('search-clear').addEventListener('click', () => {
  $('search').value = ''
  setFilter('')
  $('search').focus()
})
document.addEventListener('keydown', (event) => {
  // The browser's own find cannot see the tiles that are not drawn.
  if ((event.ctrlKey || event.metaKey) && event.key.toLowerCase() === 'f' && !$('panel').hidden) {
    event.preventDefault()
    $('search').focus()
    $('search').select()
  }
})

// ---- settings, login --------------------------------------------------------

$('touch-confirm').addEventListener('change', (event) => {
  storage.write('localStorage', KEY_TOUCH, event.target.checked ? '1' : '0')
  if (!event.target.checked) disarm()
})

// The menu folds away on a tap elsewhere or Esc, as menus do.
document.addEventListener('click', (event) => {
  if ($('settings').open && !$('settings').contains(event.target)) $('settings').open = false
})
$('settings').addEventListener('keydown', (event) => {
  if (event.key === 'Escape' && $('settings').open) {
    $('settings').open = false
    $('settings').querySelector('summary').focus()
  }
})

$('sign-out').addEventListener('click', () => {
  storage.write('sessionStorage', KEY_TOKEN, null)
  storage.write('localStorage', KEY_TOKEN, null)
  showLogin('')
})

$('login-form').addEventListener('submit', (event) => {
  event.preventDefault()
  const token = $('token').value
  if (!token) {
    $('login-error').textContent = t('loginEmpty')
    $('token').focus()
    return
  }
  const seat = $('seat').value.trim().slice(0, 64)
  storage.write('localStorage', KEY_SEAT, seat || null)
  storage.write('sessionStorage', KEY_TOKEN, token)
  storage.write('localStorage', KEY_TOKEN, $('remember').checked ? token : null)
  $('token').value = ''
  showPanel(token, seat)
})

function showLogin(error) {
  link.stop()
  model.clear()
  pictures.clear()
  everLive = false
  $('panel').hidden = true
  $('login').hidden = false
  $('login-error').textContent = error
  $('seat').value = storage.read('localStorage', KEY_SEAT) || ''
  $('remember').checked = false
  $('token').focus()
}

function showPanel(token, seat) {
  $('login').hidden = true
  $('panel').hidden = false
  $('touch-confirm').checked = touchConfirmOn()
  // Wide screens show everything; on a phone the lists fold away.
  const wide = window.matchMedia('(min-width: 900px)').matches
  $('order-box').open = wide
  $('seats-box').open = wide
  firstTilesMarked = false
  link.start(token, seat)
  renderAll()
  scheduleStructure()
}

// ---- the clock --------------------------------------------------------------

setInterval(() => {
  link.check()
  renderStatus()
}, 1000)
document.addEventListener('visibilitychange', () => {
  if (document.visibilityState === 'visible') {
    link.check(true)
    renderStatus()
  }
})
window.addEventListener('online', () => link.check(true))

new ResizeObserver(() => {
  document.documentElement.style.setProperty('--bar-h', `${$('bar').offsetHeight}px`)
}).observe($('bar'))

// ---- start ------------------------------------------------------------------

setLanguage(storage.read('localStorage', KEY_LANGUAGE) === 'en' ? 'en' : 'zh')
pictures.size = Math.min(256, Math.round(128 * Math.min(2, window.devicePixelRatio || 1)))
{
  const token = storage.read('sessionStorage', KEY_TOKEN) || storage.read('localStorage', KEY_TOKEN)
  if (token) showPanel(token, storage.read('localStorage', KEY_SEAT) || '')
  else showLogin('')
}
