// The page's one WebSocket to the console that served it: authenticates,
// pairs commands with their answers, times a ping for the round trip and to
// notice a console that went silent, and reconnects with back-off.

const WRONG_TOKEN = 4401
const COMMAND_TIMEOUT_MS = 8000
const PING_EVERY_MS = 5000
// No message for this long: what the page shows may be old (a tablet that
// slept, a cable pulled); past the second bound the socket is given up.
const SILENT_MS = 11000
const DEAD_MS = 20000
// A message larger than this is no message of the console's.
const MAX_MESSAGE = 8 * 1024 * 1024

// Wait before the n-th attempt in a row (from 0): 1 s doubling to 30 s, with a
// little spread so that the gallery's seats do not all knock at once.
export function retryDelay(attempt, random = Math.random) {
  const base = Math.min(30000, 1000 * 2 ** Math.min(attempt, 5))
  return Math.round(base * (0.85 + 0.3 * random()))
}

export class Link {
  // handlers: message(msg), status(), authFailed(), dropped(why)
  constructor(handlers) {
    this.handlers = handlers
    this.state = 'idle' // idle, connecting, open, authenticated, waiting, failed
    this.socket = null
    this.token = ''
    this.seat = ''
    this.attempt = 0
    this.retryAt = 0
    this.retryTimer = null
    this.pingTimer = null
    this.lastInbound = 0
    this.startedAt = 0
    this.authenticatedAt = 0
    this.rtt = null
    this.nextId = 1
    this.pending = new Map()
    this.ignored = 0
  }

  get url() {
    return `${location.protocol === 'https:' ? 'wss' : 'ws'}://${location.host}/`
  }

  start(token, seat) {
    this.stop()
    this.token = token
    this.seat = seat
    this.attempt = 0
    this.#open()
  }

  stop() {
    clearTimeout(this.retryTimer)
    this.retryTimer = null
    this.#dropSocket()
    this.#failPending('stopped')
    this.state = 'idle'
    this.handlers.status()
  }

  // Nothing heard for a while: the state on screen may be old.
  get silent() {
    return this.state === 'authenticated' && Date.now() - this.lastInbound > SILENT_MS
  }

  // Called every second by the page, and when it becomes visible again.
  check(woke = false) {
    if (this.state === 'authenticated') {
      if (Date.now() - this.lastInbound > DEAD_MS) return this.#lost('silent')
      if (woke) this.ping()
    } else if ((this.state === 'connecting' || this.state === 'open') && Date.now() - this.startedAt > SILENT_MS) {
      // A handshake or an authentication that never ends.
      this.#lost('timeout')
    } else if (this.state === 'waiting' && woke) {
      // A tablet waking up, or the network back: try at once.
      clearTimeout(this.retryTimer)
      this.#open()
    }
  }

  send(cmd, fields = {}) {
    if (this.state !== 'authenticated') return Promise.reject(new Error('not linked'))
    const id = this.nextId++
    return new Promise((resolve, reject) => {
      const timer = setTimeout(() => {
        this.pending.delete(id)
        reject(new Error('no answer'))
      }, COMMAND_TIMEOUT_MS)
      this.pending.set(id, { resolve, reject, timer })
      this.socket.send(JSON.stringify({ ...fields, cmd, id }))
    })
  }

  ping() {
    const sent = performance.now()
    this.send('ping').then(
      () => {
        this.rtt = performance.now() - sent
        this.handlers.status()
      },
      () => {},
    )
  }

  #open() {
    this.retryTimer = null
    this.state = 'connecting'
    this.startedAt = Date.now()
    this.handlers.status()
    let socket
    try {
      socket = new WebSocket(this.url)
    } catch {
      return this.#retry()
    }
    this.socket = socket
    socket.onopen = () => {
      if (this.socket !== socket) return
      this.state = 'open'
      this.lastInbound = Date.now()
      const auth = { cmd: 'auth', token: this.token, id: 0 }
      if (this.seat) auth.seat = this.seat
      socket.send(JSON.stringify(auth))
    }
    socket.onmessage = (event) => {
      if (this.socket !== socket) return
      this.lastInbound = Date.now()
      this.#receive(event.data)
    }
    socket.onclose = (event) => {
      if (this.socket !== socket) return
      this.socket = null
      if (event.code === WRONG_TOKEN) {
        this.#failPending('closed')
        this.state = 'failed'
        this.handlers.dropped('closed')
        this.handlers.status()
        return this.handlers.authFailed()
      }
      this.#lost('closed')
    }
  }

  #receive(data) {
    if (typeof data !== 'string' || data.length > MAX_MESSAGE) return this.ignored++
    let msg
    try {
      msg = JSON.parse(data)
    } catch {
      return this.ignored++
    }
    if (!msg || typeof msg !== 'object') return this.ignored++
    if (msg.type === 'result') {
      if (this.state === 'open' && msg.id === 0) {
        if (msg.ok !== true) return // the close that follows says why
        this.state = 'authenticated'
        this.authenticatedAt = Date.now()
        clearInterval(this.pingTimer)
        this.pingTimer = setInterval(() => this.ping(), PING_EVERY_MS)
        this.handlers.status()
        return this.ping()
      }
      const call = this.pending.get(msg.id)
      if (call) {
        this.pending.delete(msg.id)
        clearTimeout(call.timer)
        call.resolve(msg)
      }
      return
    }
    if (this.state === 'authenticated') this.handlers.message(msg)
  }

  #lost(why) {
    // A link that lasted resets the back-off; one that keeps dropping at once
    // waits longer each time.
    if (this.state === 'authenticated' && Date.now() - this.authenticatedAt > 10000) this.attempt = 0
    this.#dropSocket()
    this.#failPending(why)
    this.handlers.dropped(why)
    this.#retry()
  }

  #retry() {
    const delay = retryDelay(this.attempt++)
    this.state = 'waiting'
    this.retryAt = Date.now() + delay
    this.retryTimer = setTimeout(() => this.#open(), delay)
    this.handlers.status()
  }

  #dropSocket() {
    clearInterval(this.pingTimer)
    this.pingTimer = null
    this.rtt = null
    const socket = this.socket
    this.socket = null
    if (socket) {
      socket.onopen = socket.onmessage = socket.onclose = null
      try {
        socket.close()
      } catch {
        // already closing
      }
    }
  }

  #failPending(why) {
    for (const call of this.pending.values()) {
      clearTimeout(call.timer)
      call.reject(new Error(why))
    }
    this.pending.clear()
  }
}
