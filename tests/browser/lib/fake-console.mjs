// A stand-in for the console's remote API, for the panel page's own tests and
// benchmark: serves the page's files from the source tree over HTTP with the
// headers the console sends, and speaks the API over WebSocket on the same
// port (authentication and its two roles, the state and its slices, the
// events, the commands with their refusals, thumbnails, ping). Its "CG
// server" confirms a take a moment after the command, unless told to wait.

import http from 'node:http'
import fs from 'node:fs'
import path from 'node:path'
import zlib from 'node:zlib'
import { fileURLToPath } from 'node:url'
import { WebSocketServer } from 'ws'

export const PANEL_DIR = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../../../console/resources/panel')

export const PAGE_HEADERS = {
  'Content-Security-Policy':
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' blob:; connect-src 'self'; " +
    "base-uri 'none'; form-action 'none'; frame-ancestors 'none'",
  'X-Content-Type-Options': 'nosniff',
  'Referrer-Policy': 'no-referrer',
  'Cache-Control': 'no-cache',
}

const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.svg': 'image/svg+xml',
}

const SLICE = 500
const NAMES = ['新闻标题', '天气 Weather', '台标 Logo', '比分 Score', '字幕条', '嘉宾 Guest', '倒计时', '直播 Live']

export function itemName(n) {
  return `${NAMES[(n - 1) % NAMES.length]} ${String(n).padStart(2, '0')}`
}

export class FakeConsole {
  constructor(options = {}) {
    this.token = options.token ?? 'studio-token'
    this.viewToken = options.viewToken ?? 'floor-token'
    this.language = options.language ?? 'zh_CN'
    this.confirmDelayMs = options.confirmDelayMs ?? 20
    this.holdConfirms = false
    this.holdState = false
    this.connected = true
    this.server = '10.77.0.1:19999'
    this.locked = false
    this.current = null
    this.items = []
    for (let n = 1; n <= (options.items ?? 12); n++) this.items.push(this.#newItem(itemName(n)))
    this.cues = []
    this.next = null
    this.commands = []
    this.held = []
    this.clients = new Set()
    this.port = 0
    this.http = null
    if (options.cues) this.setCues(options.cues, options.next)
  }

  #serial = 0

  #newItem(name) {
    const id = ++this.#serial
    return { guid: `item-${id}`, name, status: 0, picture: id % 5 === 0 ? 0 : 1 }
  }

  get url() {
    return `http://127.0.0.1:${this.port}/`
  }

  async start() {
    this.http = http.createServer((req, res) => this.#serve(req, res))
    this.wss = new WebSocketServer({ noServer: true, maxPayload: 64 * 1024 })
    this.http.on('upgrade', (req, socket, head) => {
      if (!this.#sameOrigin(req)) {
        socket.end('HTTP/1.1 403 Forbidden\r\n\r\n')
        return
      }
      this.wss.handleUpgrade(req, socket, head, (ws) => this.#accept(ws))
    })
    await new Promise((resolve) => this.http.listen(this.port, '127.0.0.1', resolve))
    this.port = this.http.address().port
    return this
  }

  // The console going away: every client sees its socket close.
  async stop() {
    for (const client of this.clients) client.ws.close(1001, 'console quits')
    this.clients.clear()
    if (this.wss) for (const ws of this.wss.clients) ws.terminate()
    if (this.http) {
      this.http.closeAllConnections?.()
      await new Promise((resolve) => this.http.close(resolve))
      this.http = null
    }
  }

  #sameOrigin(req) {
    const host = req.headers.host ?? ''
    const own = [`127.0.0.1:${this.port}`, `localhost:${this.port}`]
    if (!own.includes(host)) return false
    return req.headers.origin === undefined || req.headers.origin === `http://${host}`
  }

  #serve(req, res) {
    if (!this.#sameOrigin(req)) {
      res.writeHead(403, { ...PAGE_HEADERS, 'Content-Type': 'text/plain; charset=utf-8' }).end('forbidden')
      return
    }
    const name = req.url === '/' ? 'index.html' : decodeURIComponent(req.url.split('?')[0].slice(1))
    const type = TYPES[path.extname(name)]
    const file = path.join(PANEL_DIR, name)
    if (req.method !== 'GET' && req.method !== 'HEAD') {
      res.writeHead(405, { ...PAGE_HEADERS, Allow: 'GET, HEAD' }).end()
      return
    }
    if (!type || name.includes('/') || !fs.existsSync(file)) {
      res.writeHead(404, { ...PAGE_HEADERS, 'Content-Type': 'text/plain; charset=utf-8' }).end('not found')
      return
    }
    res.writeHead(200, { ...PAGE_HEADERS, 'Content-Type': type }).end(req.method === 'GET' ? fs.readFileSync(file) : undefined)
  }

  // ---- the API ----

  #accept(ws) {
    const client = { ws, role: null, seat: '', sent: 0, streaming: false }
    ws.on('message', (data) => this.#receive(client, data.toString()))
    ws.on('close', () => {
      if (this.clients.delete(client)) this.#broadcast(this.#seats())
    })
    ws.on('error', () => {})
  }

  #receive(client, text) {
    let msg
    try {
      msg = JSON.parse(text)
    } catch {
      return client.ws.close(1008, 'bad message')
    }
    if (!client.role) {
      if (msg.cmd !== 'auth') return client.ws.close(1008, 'auth first')
      if (msg.token === this.token) client.role = 'control'
      else if (msg.token === this.viewToken) client.role = 'view'
      else return client.ws.close(4401, 'authentication failure')
      client.seat = typeof msg.seat === 'string' ? msg.seat.slice(0, 64) : ''
      this.clients.add(client)
      this.#send(client, { type: 'result', ok: true, id: msg.id, role: client.role })
      if (this.holdState) this.held.push(client)
      else this.#sendState(client)
      this.#broadcast(this.#seats())
      return
    }
    this.#command(client, msg)
  }

  #command(client, msg) {
    const answer = (fields) => this.#send(client, { type: 'result', id: msg.id, ...fields })
    if (msg.cmd === 'ping') return answer({ ok: true })
    if (msg.cmd === 'thumbnail') return this.#thumbnail(msg, answer)
    this.commands.push({ cmd: msg.cmd, item: msg.item, seat: client.seat, role: client.role })
    if (client.role === 'view') return answer({ ok: false, error: 'read only' })
    const takes = ['pgm', 'pvw', 'cancel', 'go', 'clearall']
    if (takes.includes(msg.cmd) && this.locked) return answer({ ok: false, error: 'locked' })
    if (takes.includes(msg.cmd) && !this.connected) return answer({ ok: false, error: 'not connected' })
    switch (msg.cmd) {
      case 'pgm':
      case 'pvw':
      case 'cancel': {
        const item = this.#find(msg.item)
        if (!item) return answer({ ok: false, error: 'no such item' })
        answer({ ok: true })
        return this.#confirm(item, { pgm: 1, pvw: 2, cancel: 0 }[msg.cmd])
      }
      case 'go': {
        const cue = this.next ? this.cues[this.next - 1] : null
        const item = cue && this.items.find((i) => i.guid === cue.guid)
        if (!item) return answer({ ok: false, error: 'nothing to go' })
        answer({ ok: true })
        this.next = this.next < this.cues.length ? this.next + 1 : null
        this.#broadcast({ type: 'next', next: this.next })
        return this.#confirm(item, 1)
      }
      case 'lock':
      case 'unlock':
        answer({ ok: true })
        return this.setLocked(msg.cmd === 'lock')
      case 'clearall':
        answer({ ok: true })
        for (const item of this.items) if (item.status) this.#confirm(item, 0)
        return
      default:
        return answer({ ok: false, error: 'unknown command' })
    }
  }

  #find(ref) {
    if (typeof ref === 'number') return this.items[ref - 1]
    return this.items.find((i) => i.guid === ref) ?? this.items.find((i) => i.name === ref)
  }

  #confirm(item, status) {
    const sentAt = Date.now()
    const done = () => {
      item.status = status
      this.#itemChanged(item)
      this.#broadcast({ type: 'take', ...this.#wire(item), ms: Date.now() - sentAt })
    }
    if (this.holdConfirms) this.held.push(done)
    else setTimeout(done, this.confirmDelayMs)
  }

  // What the tests held back: confirmations and states.
  release() {
    this.holdConfirms = false
    const held = this.held
    this.held = []
    for (const h of held) {
      if (typeof h === 'function') h()
      else if (this.clients.has(h)) this.#sendState(h)
    }
  }

  #thumbnail(msg, answer) {
    const item = this.items.find((i) => i.guid === msg.item)
    if (!item) return answer({ ok: false, error: 'no such item' })
    if (!item.picture) return answer({ ok: false, error: 'no picture' })
    const size = Number.isInteger(msg.size) && msg.size >= 1 && msg.size <= 256 ? msg.size : 72
    answer({ ok: true, guid: item.guid, png: picturePng(item.guid, item.picture, size).toString('base64') })
  }

  #wire(item) {
    return { guid: item.guid, name: item.name, position: this.items.indexOf(item) + 1, status: item.status, picture: item.picture }
  }

  #sendState(client) {
    const items = this.items.slice(0, SLICE).map((i) => this.#wire(i))
    client.sent = items.length
    this.#send(client, {
      type: 'state',
      protocol: 2,
      role: client.role,
      language: this.language,
      connected: this.connected,
      server: this.connected ? this.server : null,
      locked: this.locked,
      current: this.current,
      total: this.items.length,
      items,
      cueTotal: this.cues.length,
      cues: this.cues.slice(0, SLICE),
      next: this.next,
      seats: this.#seats().seats,
    })
    this.#stream(client)
  }

  // The rest of the catalogue, a slice at a time as the client reads.
  #stream(client) {
    if (client.streaming) return
    client.streaming = true
    const more = () => {
      if (!this.clients.has(client) || client.sent >= this.items.length) {
        client.streaming = false
        return
      }
      const offset = client.sent
      const items = this.items.slice(offset, offset + SLICE).map((i) => this.#wire(i))
      client.sent += items.length
      client.ws.send(JSON.stringify({ type: 'items', offset, total: this.items.length, items }), more)
    }
    more()
  }

  #restream() {
    for (const client of this.clients) {
      client.sent = 0
      const items = this.items.slice(0, SLICE).map((i) => this.#wire(i))
      client.sent = items.length
      this.#send(client, { type: 'items', offset: 0, total: this.items.length, items })
      this.#stream(client)
    }
  }

  #seats() {
    return { type: 'seats', seats: [...this.clients].map((c) => ({ seat: c.seat, role: c.role })) }
  }

  #send(client, msg) {
    if (client.ws.readyState === 1) client.ws.send(JSON.stringify(msg))
  }

  #broadcast(msg, position = 0) {
    for (const client of this.clients) if (!position || position <= client.sent) this.#send(client, msg)
  }

  #itemChanged(item) {
    const wire = this.#wire(item)
    this.#broadcast({ type: 'item', ...wire }, wire.position)
  }

  // ---- what happens "at the server" and at the console ----

  item(position) {
    return this.items[position - 1]
  }

  setStatus(position, status) {
    const item = this.items[position - 1]
    item.status = status
    this.#itemChanged(item)
  }

  rename(position, name) {
    const item = this.items[position - 1]
    item.name = name
    this.#itemChanged(item)
  }

  setPicture(position) {
    const item = this.items[position - 1]
    item.picture++
    this.#broadcast({ type: 'picture', guid: item.guid, position, picture: item.picture }, position)
  }

  insert(position, name) {
    const item = this.#newItem(name)
    this.items.splice(position - 1, 0, item)
    const complete = [...this.clients].every((c) => c.sent >= this.items.length - 1)
    if (!complete) return this.#restream()
    for (const client of this.clients) client.sent++
    this.#broadcast({ type: 'inserted', position, total: this.items.length, item: this.#wire(item) })
  }

  remove(position) {
    const [item] = this.items.splice(position - 1, 1)
    const complete = [...this.clients].every((c) => c.sent >= this.items.length + 1)
    if (!complete) return this.#restream()
    for (const client of this.clients) client.sent--
    this.#broadcast({ type: 'removed', position, total: this.items.length, guid: item.guid })
  }

  move(from, to) {
    const [item] = this.items.splice(from - 1, 1)
    this.items.splice(to - 1, 0, item)
    const complete = [...this.clients].every((c) => c.sent >= this.items.length)
    if (!complete) return this.#restream()
    this.#broadcast({ type: 'moved', from, to, total: this.items.length, guid: item.guid })
  }

  setLocked(locked) {
    this.locked = locked
    this.#broadcast({ type: 'locked', locked })
  }

  setConnected(connected) {
    this.connected = connected
    this.#broadcast({ type: 'connected', connected, server: connected ? this.server : null })
  }

  setCurrent(position) {
    const item = position ? this.items[position - 1] : null
    this.current = item ? item.guid : null
    this.#broadcast({ type: 'current', guid: this.current, name: item ? item.name : '', position: position || 0 })
  }

  // The running order: the items at these positions, the first of them next.
  setCues(positions, next = positions.length ? 1 : null) {
    this.cues = positions.map((p, i) => ({ guid: this.items[p - 1].guid, name: this.items[p - 1].name, duration: i % 3 === 2 ? 10 : 0 }))
    this.next = next
    this.#broadcast({ type: 'cues', offset: 0, total: this.cues.length, cues: this.cues.slice(0, SLICE), next })
  }

  // Anything at all, for the page's refusals.
  sendRaw(msg) {
    for (const client of this.clients) client.ws.send(typeof msg === 'string' ? msg : JSON.stringify(msg))
  }

  async waitFor(test, what, timeoutMs = 15000) {
    const end = Date.now() + timeoutMs
    for (;;) {
      const found = this.commands.find(test)
      if (found) return found
      if (Date.now() > end) throw new Error(`the console never got ${what}`)
      await new Promise((r) => setTimeout(r, 20))
    }
  }
}

// ---- pictures: a small PNG of its own colour per item and version ----

const CRC_TABLE = Array.from({ length: 256 }, (_, n) => {
  let c = n
  for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1
  return c >>> 0
})

function crc32(buf) {
  let c = 0xffffffff
  for (const b of buf) c = CRC_TABLE[(c ^ b) & 0xff] ^ (c >>> 8)
  return (c ^ 0xffffffff) >>> 0
}

function chunk(type, data) {
  const head = Buffer.alloc(8)
  head.writeUInt32BE(data.length, 0)
  head.write(type, 4, 'latin1')
  const crc = Buffer.alloc(4)
  crc.writeUInt32BE(crc32(Buffer.concat([head.subarray(4), data])), 0)
  return Buffer.concat([head, data, crc])
}

const pngCache = new Map()

export function picturePng(guid, version, size) {
  const key = `${guid}/${version}/${size}`
  if (pngCache.has(key)) return pngCache.get(key)
  let hash = version * 7919
  for (const ch of guid) hash = (hash * 31 + ch.charCodeAt(0)) >>> 0
  const w = size
  const h = Math.max(1, Math.round((size * 9) / 16))
  // Muted studio colours: a dark field, a bright bar.
  const palette = [[38, 70, 120], [120, 40, 48], [30, 96, 80], [96, 70, 30], [70, 50, 110], [40, 84, 104]]
  const base = palette[hash % palette.length]
  const raw = Buffer.alloc(h * (1 + w * 3))
  for (let y = 0; y < h; y++) {
    const row = y * (1 + w * 3)
    for (let x = 0; x < w; x++) {
      // A lower third: a bar across the bottom of a plain field.
      const bar = y > h * 0.62 && y < h * 0.85 && x > w * 0.08
      const shade = bar ? 2.1 : 0.45 + (0.35 * x) / w
      for (let c = 0; c < 3; c++) raw[row + 1 + x * 3 + c] = Math.min(255, Math.round(base[c] * shade))
    }
  }
  const ihdr = Buffer.alloc(13)
  ihdr.writeUInt32BE(w, 0)
  ihdr.writeUInt32BE(h, 4)
  ihdr[8] = 8
  ihdr[9] = 2
  const png = Buffer.concat([
    Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
    chunk('IHDR', ihdr),
    chunk('IDAT', zlib.deflateSync(raw)),
    chunk('IEND', Buffer.alloc(0)),
  ])
  if (pngCache.size > 5000) pngCache.clear()
  pngCache.set(key, png)
  return png
}
