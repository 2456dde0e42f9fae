'use strict'

// Plays Companion's side of a module: starts the module as Companion does (a
// child process with an IPC channel and the same environment), answers its
// registration, then initialises it, places feedbacks and presses buttons.
// It keeps what the module published: definitions, variables, feedback values.

const { fork } = require('node:child_process')
const path = require('node:path')
const ejson = require('ejson')

const ROOT = path.join(__dirname, '..')

class FakeCompanion {
	constructor({ entry = path.join(ROOT, 'src/main.js'), manifest = path.join(ROOT, 'companion/manifest.json') } = {}) {
		this.actions = new Map()
		this.feedbacks = new Map()
		this.presets = []
		this.presetUpdates = 0
		this.variables = {}
		this.values = new Map() // feedback instance id -> last value
		this.status = null
		this.logs = []
		this.waiters = new Set()
		this.nextCallbackId = 1
		this.pending = new Map()
		this.nextControl = 1
		this.child = fork(entry, [], {
			env: { ...process.env, MODULE_MANIFEST: manifest, CONNECTION_ID: 'ovcg-test', VERIFICATION_TOKEN: 'test' },
			stdio: ['ignore', 'pipe', 'pipe', 'ipc'],
		})
		this.output = ''
		for (const stream of [this.child.stdout, this.child.stderr]) stream.on('data', (d) => (this.output += d))
		this.child.on('message', (msg) => this.#receive(msg))
		this.registered = new Promise((resolve) => (this.onRegister = resolve))
	}

	async init(config, secrets) {
		await this.registered
		return this.call('init', { label: 'ovcg', isFirstInit: false, config, secrets, lastUpgradeIndex: -1 })
	}

	configure(config, secrets) {
		return this.call('updateConfigAndLabel', { label: 'ovcg', config, secrets })
	}

	// Places a feedback on a button of its own; its values arrive in this.values.
	place(feedbackId, options = {}, image = { width: 72, height: 72 }) {
		const id = `fb${this.nextControl}`
		const feedback = {
			id,
			controlId: `bank:${this.nextControl++}`,
			feedbackId,
			options,
			disabled: false,
			isInverted: false,
			upgradeIndex: null,
			image,
		}
		this.call('updateFeedbacks', { feedbacks: { [id]: feedback } })
		return id
	}

	press(actionId, options = {}) {
		const action = { id: `a${this.nextControl}`, controlId: `bank:${this.nextControl++}`, actionId, options, disabled: false, upgradeIndex: null }
		return this.call('executeAction', { action, surfaceId: undefined })
	}

	call(name, payload) {
		const callbackId = this.nextCallbackId++
		return new Promise((resolve, reject) => {
			this.pending.set(callbackId, { resolve, reject })
			this.child.send({ direction: 'call', name, payload: ejson.stringify(payload), callbackId })
		})
	}

	// Resolves once check() returns something true, looked at after every message.
	waitFor(check, what, timeoutMs = 5000) {
		const now = check()
		if (now) return Promise.resolve(now)
		return new Promise((resolve, reject) => {
			const waiter = { check, resolve }
			waiter.timer = setTimeout(() => {
				this.waiters.delete(waiter)
				reject(new Error(`timed out waiting for ${what}; status ${JSON.stringify(this.status)}; module said:\n${this.output.slice(-2000)}`))
			}, timeoutMs)
			this.waiters.add(waiter)
		})
	}

	async stop() {
		if (this.child.exitCode === null) {
			await Promise.race([this.call('destroy', {}), new Promise((r) => setTimeout(r, 1000))]).catch(() => {})
			this.child.kill()
		}
	}

	#receive(msg) {
		if (msg.direction === 'response') {
			const call = this.pending.get(msg.callbackId)
			this.pending.delete(msg.callbackId)
			const data = msg.payload ? ejson.parse(msg.payload) : undefined
			if (call) msg.success ? call.resolve(data) : call.reject(new Error(data?.message ?? String(data)))
			return
		}
		const data = msg.payload ? ejson.parse(msg.payload) : undefined
		const answer = (payload) => {
			if (msg.callbackId) this.child.send({ direction: 'response', callbackId: msg.callbackId, success: true, payload: ejson.stringify(payload) })
		}
		switch (msg.name) {
			case 'register':
				answer({})
				this.onRegister()
				break
			case 'setActionDefinitions':
				this.actions = new Map(data.actions.map((a) => [a.id, a]))
				break
			case 'setFeedbackDefinitions':
				this.feedbacks = new Map(data.feedbacks.map((f) => [f.id, f]))
				break
			case 'setPresetDefinitions':
				this.presets = data.presets
				this.presetUpdates++
				break
			case 'setVariableDefinitions':
			case 'setVariableValues':
				for (const { id, value } of data.newValues) this.variables[id] = value
				break
			case 'updateFeedbackValues':
				for (const { id, value } of data.values) this.values.set(id, value)
				break
			case 'set-status':
				this.status = data
				break
			case 'log-message':
				this.logs.push(`${data.level}: ${data.message}`)
				break
			case 'parseVariablesInString':
				answer({ text: data.text, variableIds: [] })
				break
			default:
				answer(undefined)
		}
		for (const waiter of [...this.waiters]) {
			const result = waiter.check()
			if (result) {
				clearTimeout(waiter.timer)
				this.waiters.delete(waiter)
				waiter.resolve(result)
			}
		}
	}
}

// The choices a dropdown option of a definition offers.
function choicesOf(definition, optionId = 'item') {
	return definition?.options.find((o) => o.id === optionId)?.choices ?? []
}

module.exports = { FakeCompanion, choicesOf, ROOT }
