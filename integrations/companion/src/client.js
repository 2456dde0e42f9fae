'use strict'

const { EventEmitter } = require('node:events')
const WebSocket = require('ws')

const WRONG_TOKEN = 4401
const TOO_MANY = 4429
const COMMAND_TIMEOUT_MS = 5000
const HEARTBEAT_MS = 10000

// Wait before the n-th attempt in a row (from 0): 1 s, doubling, at most 30 s.
function retryDelay(attempt, first = 1000, max = 30000) {
	return Math.min(max, first * 2 ** Math.min(attempt, 16))
}

function closeReason(code, reason) {
	if (code === TOO_MANY) return 'the console has too many clients'
	if (code === 1009) return 'message too large'
	const text = reason ? String(reason) : ''
	return text ? `closed: ${text} (${code})` : `closed (${code})`
}

// One WebSocket to the console: authenticates, reconnects with backoff, and
// pairs commands with their results.
//   events: 'status' (level, text), 'linked', 'unlinked', 'message' (msg)
// level is one of 'ok', 'connecting', 'bad_config'.
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
	}

	get linked() {
		return this.#linked
	}

	start({ host, port, token }) {
		this.stop()
		if (!token) return this.emit('status', 'bad_config', 'no token')
		if (!host || !Number.isInteger(port) || port < 1 || port > 65535) {
			return this.emit('status', 'bad_config', 'host or port missing')
		}
		this.#target = { url: `ws://${host.includes(':') ? `[${host}]` : host}:${port}/`, token }
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
		if (!this.#linked || !this.#socket) return Promise.reject(new Error('not linked to the console'))
		const id = this.#nextId++
		return new Promise((resolve, reject) => {
			const timer = setTimeout(() => {
				this.#pending.delete(id)
				reject(new Error(`no answer to ${cmd}`))
			}, COMMAND_TIMEOUT_MS)
			this.#pending.set(id, { resolve, reject, timer })
			this.#socket.send(JSON.stringify({ ...fields, cmd, id }))
		})
	}

	#open() {
		const target = this.#target
		this.emit('status', 'connecting', this.#attempt ? 'reconnecting' : null)
		const socket = new WebSocket(target.url, { handshakeTimeout: 5000, perMessageDeflate: false })
		this.#socket = socket
		let lastError = null
		socket.on('open', () => {
			socket.send(JSON.stringify({ cmd: 'auth', token: target.token, id: 0 }))
			this.#startHeartbeat(socket)
		})
		socket.on('message', (data, isBinary) => {
			if (isBinary) return
			let msg
			try {
				msg = JSON.parse(data.toString())
			} catch {
				return
			}
			this.#receive(msg)
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
				return this.emit('status', 'bad_config', 'wrong token')
			}
			const why = lastError && code === 1006 ? lastError.code || lastError.message : closeReason(code, reason)
			const delay = retryDelay(this.#attempt++, this.retryFirstMs, this.retryMaxMs)
			this.emit('status', 'connecting', `${why}; retrying in ${Math.round(delay / 100) / 10} s`)
			this.#timer = setTimeout(() => {
				this.#timer = null
				if (this.#target) this.#open()
			}, delay)
		})
	}

	#receive(msg) {
		if (msg.type === 'result' && !this.#linked) {
			if (msg.ok) {
				this.#linked = true
				this.#attempt = 0
				this.emit('status', 'ok', null)
				this.emit('linked')
			}
			return
		}
		if (msg.type === 'result' && this.#pending.has(msg.id)) {
			const call = this.#pending.get(msg.id)
			this.#pending.delete(msg.id)
			clearTimeout(call.timer)
			return call.resolve(msg)
		}
		if (this.#linked) this.emit('message', msg)
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
		}, HEARTBEAT_MS)
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

module.exports = { ApiClient, retryDelay }
