'use strict'

// A stand-in console on loopback that speaks the remote API (docs/remote-api.md):
// authentication, state, commands answered and recorded, thumbnails. The tests
// drive it: send() any message, close() with any code, hang() a connection.

const { WebSocketServer } = require('ws')

const item = (n, fields = {}) => ({ guid: `g${n}`, name: `Item ${n}`, position: n, status: 0, picture: 1, ...fields })

class FakeConsole {
	constructor({
		token = 'secret-token-0123',
		protocol = 2,
		items = [item(1), item(2), item(3)],
		role = 'control',
	} = {}) {
		Object.assign(this, { token, protocol, items, role })
		this.auths = [] // every auth message received
		this.commands = [] // every other command
		this.clients = new Set()
		this.answer = (msg) => this.#defaultAnswer(msg)
		this.server = new WebSocketServer({ host: '127.0.0.1', port: 0 })
		this.ready = new Promise((resolve) => this.server.on('listening', resolve))
		this.server.on('connection', (socket) => this.#accept(socket))
	}

	get port() {
		return this.server.address().port
	}

	state() {
		return {
			type: 'state',
			protocol: this.protocol === 1 ? undefined : this.protocol,
			role: this.protocol === 1 ? undefined : this.role,
			connected: true,
			server: '127.0.0.1:19999',
			locked: false,
			current: this.items[0]?.guid ?? null,
			total: this.items.length,
			items: this.items,
			cueTotal: 0,
			cues: [],
			next: null,
			...(this.protocol === 1 ? {} : { language: 'en', seats: [] }),
		}
	}

	send(msg) {
		const text = typeof msg === 'string' ? msg : JSON.stringify(msg)
		for (const socket of this.clients) socket.send(text)
	}

	close(code, reason = '') {
		for (const socket of this.clients) socket.close(code, reason)
	}

	// The console stops reading (a hung process): pings go unanswered.
	hang() {
		for (const socket of this.clients) socket._socket.pause()
	}

	async stop() {
		for (const socket of this.clients) socket.terminate()
		await new Promise((resolve) => this.server.close(resolve))
	}

	#accept(socket) {
		let authed = false
		socket.on('message', (data) => {
			const msg = JSON.parse(data.toString())
			if (!authed) {
				this.auths.push(msg)
				if (msg.cmd !== 'auth') return socket.close(1008, 'auth first')
				if (msg.token !== this.token) return socket.close(4401, 'unauthorized')
				authed = true
				this.clients.add(socket)
				const result = { type: 'result', ok: true, id: msg.id }
				socket.send(JSON.stringify(this.protocol === 1 ? result : { ...result, role: this.role }))
				return socket.send(JSON.stringify(this.state()))
			}
			this.commands.push(msg)
			const answer = this.answer(msg)
			if (answer) socket.send(JSON.stringify({ type: 'result', id: msg.id, ...answer }))
		})
		socket.on('close', () => this.clients.delete(socket))
	}

	#defaultAnswer(msg) {
		if (msg.cmd !== 'thumbnail') return { ok: true }
		const found = this.items.find((it) => it.guid === msg.item)
		if (!found) return { ok: false, error: 'no such item' }
		if (!found.picture) return { ok: false, error: 'no picture' }
		return { ok: true, guid: found.guid, png: `${found.guid}@${msg.size}v${found.picture}` }
	}
}

module.exports = { FakeConsole, item }
