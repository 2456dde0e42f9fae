'use strict'

const { InstanceBase, InstanceStatus, Regex, runEntrypoint } = require('@companion-module/base')
const { ApiClient } = require('./client.js')
const { ConsoleState } = require('./state.js')
const { PictureCache } = require('./pictures.js')
const defs = require('./definitions.js')

const DEFAULT_PORT = 19100
// Catalogue changes come in bursts (a list sent in slices, a server renaming
// many items): the editors and presets are rebuilt once the burst settles.
const REBUILD_WAIT_MS = 300
const REBUILD_MAX_WAIT_MS = 2000
const PRESET_PICTURES_WAIT_MS = 1000

const STATUS = {
	ok: InstanceStatus.Ok,
	connecting: InstanceStatus.Connecting,
	bad_config: InstanceStatus.BadConfig,
}

class OvcgInstance extends InstanceBase {
	async init(config, _isFirstInit, secrets) {
		this.state = new ConsoleState()
		this.client = new ApiClient()
		this.pictures = new PictureCache(
			(guid, size) => this.#fetchPicture(guid, size),
			() => {
				this.#soon('pictures', () => this.checkFeedbacks('picture'))
				this.#presetsSoon()
			}
		)
		this.timers = new Map()
		this.firstAsked = new Map()

		this.client.on('status', (level, text) => this.updateStatus(STATUS[level] ?? InstanceStatus.UnknownWarning, text))
		this.client.on('linked', () => this.log('info', 'Linked to the console'))
		this.client.on('unlinked', () => {
			this.state.clear()
			this.pictures.clear()
			this.#refreshAll()
		})
		this.client.on('message', (msg) => this.#onMessage(msg))

		this.setVariableDefinitions(defs.VARIABLES)
		this.#rebuildDefinitions()
		this.#publishVariables()
		this.#connect(config, secrets)
	}

	async configUpdated(config, secrets) {
		this.client.stop()
		this.#connect(config, secrets)
	}

	async destroy() {
		this.client?.stop()
		this.pictures?.clear()
		for (const timer of this.timers?.values() ?? []) clearTimeout(timer)
	}

	getConfigFields() {
		return [
			{ type: 'textinput', id: 'host', label: 'Console address', width: 8, default: '127.0.0.1', regex: Regex.HOSTNAME },
			{ type: 'number', id: 'port', label: 'API port', width: 4, default: DEFAULT_PORT, min: 1, max: 65535 },
			{
				type: 'secret-text',
				id: 'token',
				label: 'API token',
				width: 12,
				description: "api_token in the console's config.ini",
			},
		]
	}

	#connect(config, secrets) {
		this.config = config ?? {}
		// The token lives in the secrets store; a config from before keeps working.
		const token = secrets?.token ?? this.config.token ?? ''
		this.client.start({ host: String(this.config.host ?? '').trim(), port: Number(this.config.port), token })
	}

	#onMessage(msg) {
		const { changed, picture } = this.state.apply(msg)
		if (msg.type === 'state') this.pictures.clear()
		if (picture) {
			this.pictures.invalidate(picture)
			this.#soon('pictures', () => this.checkFeedbacks('picture'))
			this.#presetsSoon()
		}
		if (changed.has('catalogue')) this.#rebuildSoon()
		if (changed.has('status')) this.#soon('tally', () => this.checkFeedbacks('on_pgm', 'on_pvw', 'picture'))
		if (changed.has('connected')) this.#soon('connected', () => this.checkFeedbacks('connected'))
		if (changed.has('locked')) this.#soon('locked', () => this.checkFeedbacks('locked'))
		if (changed.size) this.#soon('variables', () => this.#publishVariables())
		if (msg.type === 'take') this.log('debug', `Take confirmed after ${msg.ms} ms: ${msg.name}`)
	}

	async #run(cmd, fields) {
		let answer
		try {
			answer = await this.client.send(cmd, fields)
		} catch (err) {
			return this.log('warn', `${cmd}: ${err.message}`)
		}
		if (!answer.ok) this.log('warn', `${cmd} refused: ${answer.error ?? 'no reason given'}`)
	}

	async #fetchPicture(guid, size) {
		const answer = await this.client.send('thumbnail', { item: guid, size })
		if (answer.ok) return { png: answer.png }
		if (answer.error === 'no picture' || answer.error === 'no such item') return { missing: true }
		throw new Error(answer.error)
	}

	#picture(guid, size) {
		return this.client.linked ? this.pictures.get(guid, size) : undefined
	}

	#rebuildDefinitions() {
		this.setActionDefinitions(defs.actionDefinitions(this.state, (cmd, fields) => this.#run(cmd, fields)))
		this.setFeedbackDefinitions(defs.feedbackDefinitions(this.state, (guid, size) => this.#picture(guid, size)))
		this.setPresetDefinitions(defs.presetDefinitions(this.state, (guid) => this.#presetPicture(guid)))
	}

	// Preset previews show the picture once it is here; asking for it queues it.
	#presetPicture(guid) {
		return this.#picture(guid, defs.PICTURE_SIZE) ?? undefined
	}

	#rebuildSoon() {
		this.#debounce('rebuild', REBUILD_WAIT_MS, () => {
			this.#rebuildDefinitions()
			this.checkFeedbacks()
		})
	}

	// Pictures arrive one by one after a rebuild: the previews follow in batches.
	#presetsSoon() {
		this.#debounce('presets', PRESET_PICTURES_WAIT_MS, () =>
			this.setPresetDefinitions(defs.presetDefinitions(this.state, (guid) => this.#presetPicture(guid)))
		)
	}

	// fn runs once things have been quiet for wait ms, and at the latest
	// REBUILD_MAX_WAIT_MS after it was first asked for.
	#debounce(name, wait, fn) {
		const now = Date.now()
		if (!this.timers.has(name)) this.firstAsked.set(name, now)
		const delay = Math.max(0, Math.min(wait, this.firstAsked.get(name) + REBUILD_MAX_WAIT_MS - now))
		clearTimeout(this.timers.get(name))
		this.timers.set(
			name,
			setTimeout(() => {
				this.timers.delete(name)
				fn()
			}, delay)
		)
	}

	// Runs fn once on the next turn, however often it was asked for meanwhile.
	#soon(name, fn) {
		if (this.timers.has(name)) return
		this.timers.set(
			name,
			setTimeout(() => {
				this.timers.delete(name)
				fn()
			}, 0)
		)
	}

	#publishVariables() {
		this.setVariableValues(defs.variableValues(this.state, this.client.linked))
	}

	#refreshAll() {
		this.#rebuildSoon()
		this.#soon('all', () => this.checkFeedbacks())
		this.#soon('variables', () => this.#publishVariables())
	}
}

runEntrypoint(OvcgInstance, [])

module.exports = OvcgInstance
