'use strict'

// Plays Companion's side of a module: starts the module as Companion does (a
// child process with an IPC channel and the same environment), answers its
// registration, then initialises it, places feedbacks and presses buttons.
// It keeps what the module published: definitions, variables, feedback values,
// and counts and sizes the preset messages.

const { fork } = require('node:child_process')
const path = require('node:path')
const ejson = require('ejson')

const ROOT = path.join(__dirname, '..')

class FakeCompanion {
	constructor({ entry = path.join(ROOT, 'src/main.js'), manifest = path.join(ROOT, 'companion/manifest.json') } = {}) {
		Object.assign(this, { actions: new Map(), feedbacks: new Map(), presets: [], variables: {}, customVariables: {} })
		this.presetMessages = { count: 0, bytes: 0 }
		this.values = new Map() // feedback instance id -> last value
		this.status = null
		this.statuses = [] // every status, in order
		this.logs = []
		this.waiters = new Set()
		this.pending = new Map()
		this.nextId = 1
		this.child = fork(entry, [], {
			env: { ...process.env, MODULE_MANIFEST: manifest, CONNECTION_ID: 'ovcg-test', VERIFICATION_TOKEN: 'test' },
			stdio: ['ignore', 'pipe', 'pipe', 'ipc'],
		})
		this.output = ''
		for (const stream of [this.child.stdout, this.child.stderr]) stream.on('data', (d) => (this.output += d))
		this.child.on('message', (msg) => this.#receive(msg))
		this.registered = new Promise((resolve) => (this.onRegister = resolve))
	}

	async init(config, secrets, { label = 'ovcg', lastUpgradeIndex = 0 } = {}) {
		await this.registered
		return this.call('init', { label, isFirstInit: false, config, secrets, lastUpgradeIndex })
	}

	configure(config, secrets, label = 'ovcg') {
		return this.call('updateConfigAndLabel', { label, config, secrets })
	}

	#instance(kind, options, extra = {}) {
		const n = this.nextId++
		return { id: `${kind}${n}`, controlId: `bank:${n}`, options, disabled: false, upgradeIndex: null, ...extra }
	}

	// Places a feedback on a button of its own; its values arrive in this.values.
	place(feedbackId, options = {}, image = { width: 72, height: 72 }) {
		const feedback = this.#instance('fb', options, { feedbackId, isInverted: false, image })
		this.call('updateFeedbacks', { feedbacks: { [feedback.id]: feedback } })
		return feedback.id
	}

	press(actionId, options = {}) {
		return this.call('executeAction', { action: this.#instance('a', options, { actionId }), surfaceId: undefined })
	}

	// The options Learn gives an action (or, with feedback true, a feedback).
	async learn(id, options = {}, feedback = false) {
		const instance = this.#instance('l', options, feedback ? { feedbackId: id } : { actionId: id })
		const answer = await this.call(feedback ? 'learnFeedback' : 'learnAction', {
			[feedback ? 'feedback' : 'action']: instance,
		})
		return answer.options
	}

	call(name, payload) {
		const callbackId = this.nextId++
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
				const said = `status ${JSON.stringify(this.status)}; module said:\n${this.output.slice(-2000)}`
				reject(new Error(`timed out waiting for ${what}; ${said}`))
			}, timeoutMs)
			this.waiters.add(waiter)
		})
	}

	// The module stops reading (and doing anything) until resumed: a panel that lags.
	pause(paused = true) {
		this.child.kill(paused ? 'SIGSTOP' : 'SIGCONT')
	}

	async stop() {
		if (this.child.exitCode === null) {
			this.pause(false)
			await Promise.race([this.call('destroy', {}), new Promise((r) => setTimeout(r, 1000))]).catch(() => {})
			this.child.kill()
		}
	}

	#receive(msg) {
		const data = msg.payload ? ejson.parse(msg.payload) : undefined
		if (msg.direction === 'response') {
			const call = this.pending.get(msg.callbackId)
			this.pending.delete(msg.callbackId)
			if (call) msg.success ? call.resolve(data) : call.reject(new Error(data?.message ?? String(data)))
			return
		}
		const answer = (payload) => {
			const response = { direction: 'response', callbackId: msg.callbackId, success: true }
			if (msg.callbackId) this.child.send({ ...response, payload: ejson.stringify(payload) })
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
				this.presetMessages.count++
				this.presetMessages.bytes += msg.payload.length
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
				this.statuses.push(data)
				break
			case 'log-message':
				this.logs.push(`${data.level}: ${data.message}`)
				break
			case 'parseVariablesInString': {
				const text = data.text.replace(/\$\(([^)]+)\)/g, (_, id) => String(this.customVariables[id] ?? ''))
				answer({ text, variableIds: [] })
				break
			}
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
