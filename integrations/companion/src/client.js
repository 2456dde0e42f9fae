'use strict'

const { EventEmitter } = require('node:events')
const WebSocket = require('ws')
const { validHost } = require('./config.js')

// The console closes with this for a wrong token and for nothing else: trying
// again cannot help, so the module stops until its configuration changes.
const WRONG_TOKEN = 4401
// Anything larger than the console's largest slice is not from a console.
const MAX_PAYLOAD = 8 * 1024 * 1024
const SEAT_MAX = 64

const CLOSE_REASONS = {
	1008: 'the console expected authentication first',
	1009: 'a message was too large',
	1013: 'the console asked to try again later',
	4429: 'the console has too many clients or commands',
}

// The name this connection gives itself in the console's log and seats list.
function seatName(text) {
	return Array.from(String(text ?? '').replace(/\p{Cc}/gu, ''))
		.slice(0, SEAT_MAX)
		.join('')
}

// One WebSocket to the console: authenticates, reconnects with back-off, and
// pairs commands with their results.
//   events: 'status' (level, text), 'linked' (role), 'unlinked', 'message' (msg)
// level is one of the base library's statuses: ok, connecting,
// connection_failure, bad_config, authentication_failure.
class ApiClient extends EventEmitter {
	#target = null
	#socket = null
	#timer = null
	#heartbeat = null
	#attempt = 0
	#linked = false
	#nextId = 1
	#pending = new Map()

	constructor(options = {}) {
		super()
		this.retryFirstMs = options.retryFirstMs ?? 1000
		this.retryMaxMs = options.retryMaxMs ?? 30000
		this.heartbeatMs = options.heartbeatMs ?? 10000
		this.commandTimeoutMs = options.commandTimeoutMs ?? 5000
	}

	get linked() {
		return this.#linked
	}

	start({ host, port, token, seat }) {
		this.stop()
		if (!token) return this.emit('status', 'bad_config', 'no API token')
		if (!validHost(host)) return this.emit('status', 'bad_config', 'no valid console address')
		if (!Number.isInteger(port) || port < 1 || port > 65535) return this.emit('status', 'bad_config', 'no API port')
		const url = `ws://${host.includes(':') ? `[${host}]` : host}:${port}/`
		this.#target = { url, token, seat: seatName(seat) }
		this.#attempt = 0
		this.#open()
	}

	stop() {
		this.#target = null
		clearTimeout(this.#timer)
		this.#timer = null
		if (this.#socket) {
			const socket = this.#socket
			this.#socket = null
			socket.removeAllListeners()
			socket.on('error', () => {})
			socket.terminate()
		}
		this.#drop('stopped')
	}

	// Resolves with the console's result message (ok or not); rejects only when
	// there is no link or no answer comes.
	send(cmd, fields = {}) {
		if (!this.#linked || this.#socket?.readyState !== WebSocket.OPEN) {
			return Promise.reject(new Error('not linked to the console'))
		}
		const id = this.#nextId++
		return new Promise((resolve, reject) => {
			const timer = setTimeout(() => {
				this.#pending.delete(id)
				reject(new Error(`no answer to ${cmd}`))
			}, this.commandTimeoutMs)
			this.#pending.set(id, { resolve, reject, timer })
			this.#socket.send(JSON.stringify({ ...fields, cmd, id }))
		})
	}

	#open() {
		const target = this.#target
		this.emit('status', 'connecting', this.#attempt ? 'reconnecting' : null)
		const socket = new WebSocket(target.url, {
			handshakeTimeout: this.commandTimeoutMs,
			perMessageDeflate: false,
			maxPayload: MAX_PAYLOAD,
		})
		this.#socket = socket
		let lastError = null
		socket.on('open', () => {
			this.#startHeartbeat(socket)
			// The answer is taken as it arrives, before the state that follows it.
			const timer = setTimeout(() => socket.terminate(), this.commandTimeoutMs)
			this.#pending.set(0, { resolve: (answer) => this.#authenticated(socket, answer), reject() {}, timer })
			const auth = { cmd: 'auth', token: target.token, id: 0 }
			if (target.seat) auth.seat = target.seat
			socket.send(JSON.stringify(auth))
		})
		socket.on('message', (data, isBinary) => {
			if (isBinary || this.#socket !== socket) return
			let msg
			try {
				msg = JSON.parse(data.toString())
			} catch {
				return
			}
			if (msg?.type === 'result' && this.#pending.has(msg.id)) {
				const call = this.#pending.get(msg.id)
				this.#pending.delete(msg.id)
				clearTimeout(call.timer)
				return call.resolve(msg)
			}
			if (this.#linked) this.emit('message', msg)
		})
		socket.on('error', (err) => {
			lastError = err
		})
		socket.on('close', (code, reason) => {
			if (this.#socket !== socket) return
			this.#socket = null
			this.#drop('link lost')
			if (!this.#target) return
			if (code === WRONG_TOKEN) {
				this.#target = null
				return this.emit('status', 'authentication_failure', 'wrong API token')
			}
			// ws closes with 1009 itself for a message over maxPayload, and reports 1006.
			if (lastError?.code === 'WS_ERR_UNSUPPORTED_MESSAGE_LENGTH') code = 1009
			const why =
				code === 1006 && lastError
					? lastError.code || lastError.message
					: (CLOSE_REASONS[code] ?? (reason?.length ? `closed: ${reason} (${code})` : `closed (${code})`))
			const delay = Math.min(this.retryMaxMs, this.retryFirstMs * 2 ** Math.min(this.#attempt++, 16))
			this.emit('status', 'connection_failure', `${why}; retrying in ${Math.round(delay / 100) / 10} s`)
			this.#timer = setTimeout(() => {
				this.#timer = null
				if (this.#target) this.#open()
			}, delay)
		})
	}

	#authenticated(socket, answer) {
		if (this.#socket !== socket) return
		// A refusal without a close is answered by closing: the console's
		// close code, if one follows, still decides.
		if (!answer.ok) return socket.close()
		this.#linked = true
		this.#attempt = 0
		this.emit('status', 'ok', answer.role === 'view' ? 'view only: commands are refused' : null)
		this.emit('linked', answer.role ?? 'control')
	}

	// A console that hangs keeps its socket open: a ping without a pong ends it.
	#startHeartbeat(socket) {
		let answered = true
		socket.on('pong', () => {
			answered = true
		})
		clearInterval(this.#heartbeat)
		this.#heartbeat = setInterval(() => {
			if (!answered) return socket.terminate()
			answered = false
			socket.ping()
		}, this.heartbeatMs)
	}

	#drop(why) {
		clearInterval(this.#heartbeat)
		this.#heartbeat = null
		for (const call of this.#pending.values()) {
			clearTimeout(call.timer)
			call.reject(new Error(why))
		}
		this.#pending.clear()
		if (this.#linked) {
			this.#linked = false
			this.emit('unlinked')
		}
	}
}

module.exports = { ApiClient, seatName, WRONG_TOKEN, MAX_PAYLOAD }
