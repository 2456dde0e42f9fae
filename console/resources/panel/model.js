// What the console has told this page, kept exactly as the console keeps it:
// the catalogue (the prefix received so far), the running order, the lock, the
// connection, the seats. Fed the API's messages one by one; apply() answers
// what changed, so that the page redraws only that. Nothing here guesses: a
// status is what the CG server confirmed, and a message that makes no sense is
// refused whole and counted, never half applied.

export const MAX_TOTAL = 100000
export const OFF = 0
export const PGM = 1
export const PVW = 2

const SEAT_MAX = 64

function text(value) {
  return typeof value === 'string' ? value : ''
}

function guidOf(value) {
  if (typeof value === 'string') return value
  if (typeof value === 'number' && Number.isFinite(value)) return String(value)
  return ''
}

function isCount(value) {
  return Number.isSafeInteger(value) && value >= 0
}

function status(value) {
  // Anything but the two on-air values the server confirms is off air.
  return value === PGM || value === PVW ? value : OFF
}

function picture(value) {
  return Number.isSafeInteger(value) && value > 0 ? value : 0
}

function cleanItem(raw) {
  if (!raw || typeof raw !== 'object') return null
  const guid = guidOf(raw.guid)
  if (!guid) return null
  return { guid, name: text(raw.name), status: status(raw.status), picture: picture(raw.picture) }
}

function cleanCue(raw) {
  if (!raw || typeof raw !== 'object') return null
  const duration = Number(raw.duration)
  return {
    guid: guidOf(raw.guid),
    name: text(raw.name),
    duration: Number.isFinite(duration) && duration > 0 ? duration : 0,
  }
}

function cleanNext(value) {
  return Number.isSafeInteger(value) && value >= 1 ? value : null
}

export class Model {
  constructor() {
    this.refused = 0
    this.clear()
  }

  clear() {
    this.fresh = false
    this.protocol = null
    this.role = null
    this.language = null
    this.connected = false
    this.server = null
    this.locked = false
    this.current = null
    this.items = []
    this.byGuid = new Map()
    this.total = 0
    this.cues = []
    this.cueTotal = 0
    this.next = null
    this.seats = []
    this.lastTake = null
  }

  get canCommand() {
    return this.role === 'control'
  }

  item(guid) {
    return this.byGuid.get(guid)
  }

  indexOf(guid) {
    const item = this.byGuid.get(guid)
    return item ? this.items.indexOf(item) : -1
  }

  get nextCue() {
    return this.next ? this.cues[this.next - 1] ?? null : null
  }

  currentName() {
    if (!this.current) return ''
    const item = this.byGuid.get(this.current.guid)
    return item ? item.name : this.current.name
  }

  // The page's link was lost: what it holds is now an old picture of the show.
  stale() {
    this.fresh = false
  }

  // Returns { kind, guid? } for what changed, or null when nothing did.
  apply(msg) {
    if (!msg || typeof msg !== 'object' || typeof msg.type !== 'string') return this.#refuse()
    switch (msg.type) {
      case 'state':
        return this.#state(msg)
      case 'items':
        return this.#items(msg.offset, msg.total, msg.items) ? { kind: 'items' } : this.#refuse()
      case 'inserted':
        return this.#inserted(msg)
      case 'removed':
        return this.#removed(msg)
      case 'moved':
        return this.#moved(msg)
      case 'item':
      case 'take':
        return this.#item(msg)
      case 'picture': {
        const item = this.byGuid.get(guidOf(msg.guid))
        if (!item) return null
        item.picture = picture(msg.picture)
        return { kind: 'item', guid: item.guid }
      }
      case 'current':
        this.current = guidOf(msg.guid) ? { guid: guidOf(msg.guid), name: text(msg.name) } : null
        return { kind: 'current' }
      case 'connected':
        this.connected = msg.connected === true
        this.server = typeof msg.server === 'string' ? msg.server : null
        return { kind: 'connected' }
      case 'locked':
        this.locked = msg.locked === true
        return { kind: 'locked' }
      case 'cues':
        return this.#cues(msg.offset, msg.total, msg.cues, msg.next) ? { kind: 'cues' } : this.#refuse()
      case 'cue':
        return this.#cue(msg)
      case 'next':
        this.next = cleanNext(msg.next)
        return { kind: 'cues' }
      case 'seats':
        return this.#seats(msg.seats) ? { kind: 'seats' } : this.#refuse()
      default:
        // A kind of message a newer console may send: not this page's business.
        return null
    }
  }

  #refuse() {
    this.refused++
    return null
  }

  #state(msg) {
    this.clear()
    this.fresh = true
    this.protocol = Number.isSafeInteger(msg.protocol) ? msg.protocol : 1
    this.role = msg.role === 'view' ? 'view' : 'control'
    this.language = msg.language === 'en' ? 'en' : 'zh_CN'
    this.connected = msg.connected === true
    this.server = typeof msg.server === 'string' ? msg.server : null
    this.locked = msg.locked === true
    const current = guidOf(msg.current)
    this.current = current ? { guid: current, name: '' } : null
    // A part that makes no sense is left empty and counted; the rest stands.
    if (!this.#items(0, msg.total, msg.items ?? [])) this.#refuse()
    const cueTotal = msg.cueTotal ?? (Array.isArray(msg.cues) ? msg.cues.length : 0)
    if (!this.#cues(0, cueTotal, msg.cues ?? [], msg.next ?? null)) this.#refuse()
    if (msg.seats !== undefined && !this.#seats(msg.seats)) this.#refuse()
    return { kind: 'state' }
  }

  // A slice of the catalogue: offset 0 starts a new list.
  #items(offset, total, list) {
    if (!isCount(offset) || !isCount(total) || total > MAX_TOTAL || !Array.isArray(list)) return false
    if (offset > (offset === 0 ? 0 : this.items.length) || offset + list.length > total) return false
    const clean = list.map(cleanItem)
    if (clean.includes(null)) return false
    if (offset === 0) {
      this.items = []
      this.byGuid = new Map()
    }
    clean.forEach((item, i) => {
      const at = offset + i
      if (at < this.items.length) this.#forget(this.items[at])
      this.items[at] = item
      this.byGuid.set(item.guid, item)
    })
    if (this.items.length > total) this.#truncate(total)
    this.total = total
    return true
  }

  #forget(item) {
    if (this.byGuid.get(item.guid) === item) this.byGuid.delete(item.guid)
  }

  #truncate(length) {
    for (const item of this.items.splice(length)) this.#forget(item)
  }

  #newTotal(total) {
    return isCount(total) && total <= MAX_TOTAL ? total : null
  }

  #inserted(msg) {
    const total = this.#newTotal(msg.total)
    const item = cleanItem(msg.item)
    const p = msg.position
    if (total === null || !item || !Number.isSafeInteger(p) || p < 1) return this.#refuse()
    const inPrefix = p <= this.items.length + 1
    if (total < this.items.length + (inPrefix ? 1 : 0)) return this.#refuse()
    if (inPrefix) {
      this.items.splice(p - 1, 0, item)
      this.byGuid.set(item.guid, item)
    }
    this.total = total
    return { kind: 'items' }
  }

  #removed(msg) {
    const total = this.#newTotal(msg.total)
    const guid = guidOf(msg.guid)
    const p = msg.position
    if (total === null || !guid || !Number.isSafeInteger(p) || p < 1) return this.#refuse()
    let at = p <= this.items.length && this.items[p - 1].guid === guid ? p - 1 : -1
    if (at < 0 && p <= this.items.length) at = this.indexOf(guid)
    if (total < this.items.length - (at >= 0 ? 1 : 0)) return this.#refuse()
    if (at >= 0) this.#forget(this.items.splice(at, 1)[0])
    this.total = total
    return { kind: 'items' }
  }

  #moved(msg) {
    const total = this.#newTotal(msg.total)
    const guid = guidOf(msg.guid)
    const { from, to } = msg
    if (total === null || !guid || !Number.isSafeInteger(from) || !Number.isSafeInteger(to) || from < 1 || to < 1) {
      return this.#refuse()
    }
    let at = from <= this.items.length && this.items[from - 1].guid === guid ? from - 1 : -1
    if (at < 0) at = this.indexOf(guid)
    if (at < 0) {
      // It comes into the prefix from beyond it: this page never had it.
      if (to <= this.items.length) return this.#refuse()
      this.total = Math.max(total, this.items.length)
      return { kind: 'items' }
    }
    if (total < this.items.length - 1) return this.#refuse()
    const [item] = this.items.splice(at, 1)
    if (to - 1 <= this.items.length) this.items.splice(to - 1, 0, item)
    else this.#forget(item)
    this.total = total
    return { kind: 'items' }
  }

  #item(msg) {
    const item = this.byGuid.get(guidOf(msg.guid))
    if (msg.type === 'take') {
      this.lastTake = {
        guid: guidOf(msg.guid),
        name: text(msg.name) || (item ? item.name : ''),
        status: status(msg.status),
        ms: Number.isFinite(msg.ms) ? Math.round(msg.ms) : null,
      }
    }
    // One past the received prefix: its slice will carry the newer state.
    if (!item) return msg.type === 'take' ? { kind: 'take' } : null
    if (typeof msg.name === 'string') item.name = msg.name
    if ('status' in msg) item.status = status(msg.status)
    if ('picture' in msg) item.picture = picture(msg.picture)
    return { kind: msg.type === 'take' ? 'take' : 'item', guid: item.guid }
  }

  #cues(offset, total, list, next) {
    if (!isCount(offset) || !isCount(total) || total > MAX_TOTAL || !Array.isArray(list)) return false
    if (offset > (offset === 0 ? 0 : this.cues.length) || offset + list.length > total) return false
    const clean = list.map(cleanCue)
    if (clean.includes(null)) return false
    if (offset === 0) this.cues = []
    clean.forEach((cue, i) => {
      this.cues[offset + i] = cue
    })
    if (this.cues.length > total) this.cues.length = total
    this.cueTotal = total
    if (next !== undefined) this.next = cleanNext(next)
    return true
  }

  #cue(msg) {
    const i = msg.index
    if (!Number.isSafeInteger(i) || i < 1) return this.#refuse()
    if (i > this.cues.length) return null
    const cue = cleanCue(msg)
    if (!cue) return this.#refuse()
    this.cues[i - 1] = cue
    return { kind: 'cues' }
  }

  #seats(list) {
    if (!Array.isArray(list)) return false
    this.seats = list
      .filter((s) => s && typeof s === 'object')
      .slice(0, SEAT_MAX)
      .map((s) => ({ seat: text(s.seat).slice(0, 64), role: s.role === 'view' ? 'view' : 'control' }))
    return true
  }
}
