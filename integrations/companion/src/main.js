'use strict'

const { InstanceBase, InstanceStatus, runEntrypoint } = require('@companion-module/base')
const { ApiClient } = require('./client.js')
const { ConsoleState } = require('./state.js')
const { PictureCache } = require('./pictures.js')
const { configFields, UPGRADE_SCRIPTS } = require('./config.js')
const defs = require('./definitions.js')

// Catalogue changes come in bursts (a list sent in slices, a server renaming
// many items): the editors and presets are rebuilt once the burst settles.
const REBUILD_WAIT_MS = 300
const REBUILD_MAX_WAIT_MS = 2000
const PRESET_PICTURES_WAIT_MS = 1000

class OvcgInstance extends InstanceBase {
	async init(config, _isFirstInit, secrets) {
		this.state = new ConsoleState()
		this.client = new ApiClient()
		this.pictures = new PictureCache(
			(guid, size) => this.#fetchPicture(guid, size),
			(guid) => this.#pictureChanged(guid),
		)
		// Which picture feedbacks show which item: a picture that arrives or
		// changes redraws those buttons only.
		this.watching = new Map() // feedback id -> guid
		this.watchers = new Map() // guid -> feedback ids
		this.recheck = new Set()
		this.timers = new Map()
		this.firstAsked = new Map()
		this.sent = { choices: null, presets: null }
		this.refusedSaid = 0

		this.client.on('status', (level, text) => this.updateStatus(level ?? InstanceStatus.UnknownWarning, text))
		this.client.on('unlinked', () => {
			this.state.clear()
			this.refusedSaid = 0
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
		return configFields()
	}

	#connect(config, secrets) {
		this.config = config ?? {}
		this.client.start({
			host: String(this.config.host ?? '').trim(),
			port: Number(this.config.port),
			token: secrets?.token ?? '',
			seat: String(this.config.seat ?? '').trim() || this.label,
		})
	}

	#onMessage(msg) {
		const { changed, picture } = this.state.apply(msg)
		if (changed.has('restart')) this.pictures.clear()
		if (changed.has('picture')) this.#pictureChanged(picture)
		if (changed.has('catalogue')) this.#rebuildSoon()
		if (changed.has('status')) this.#soon('tally', () => this.checkFeedbacks('on_pgm', 'on_pvw'))
		if (changed.has('current')) this.#soon('current', () => this.checkFeedbacks('on_pgm', 'on_pvw', 'picture'))
		if (changed.has('connected')) this.#soon('connected', () => this.checkFeedbacks('connected'))
		if (changed.has('locked')) this.#soon('locked', () => this.checkFeedbacks('locked'))
		if (changed.size) this.#soon('variables', () => this.#publishVariables())
		if (msg.type === 'state')
			this.log('info', `Linked to the console (protocol ${this.state.protocol}, ${this.state.role})`)
		else if (changed.has('restart'))
			this.log('debug', `The console sent its catalogue again (${this.state.total} items)`)
		if (msg.type === 'take') this.log('debug', `Take confirmed after ${msg.ms} ms: ${msg.name}`)
		if (this.state.refused > this.refusedSaid) {
			this.#debounce('refused', REBUILD_MAX_WAIT_MS, () => {
				this.log('warn', `Ignored ${this.state.refused - this.refusedSaid} messages no console would send`)
				this.refusedSaid = this.state.refused
			})
		}
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

	// The item's picture at that size: asking for one not at hand fetches it.
	#picture(guid, size, feedbackId) {
		if (feedbackId) this.#watch(feedbackId, guid)
		const version = this.state.pictureOf(guid)
		return this.client.linked && version !== 0 ? this.pictures.get(guid, size, version) : undefined
	}

	#watch(feedbackId, guid) {
		const old = this.watching.get(feedbackId)
		if (old === guid) return
		if (old !== undefined) this.watchers.get(old)?.delete(feedbackId)
		if (guid === undefined) return this.watching.delete(feedbackId)
		this.watching.set(feedbackId, guid)
		if (!this.watchers.has(guid)) this.watchers.set(guid, new Set())
		this.watchers.get(guid).add(feedbackId)
	}

	#pictureChanged(guid) {
		for (const id of this.watchers.get(guid) ?? []) this.recheck.add(id)
		this.#soon('pictures', () => {
			const ids = [...this.recheck]
			this.recheck.clear()
			if (ids.length) this.checkFeedbacksById(...ids)
		})
		this.#presetsSoon()
	}

	// A preview keeps the picture it has while a newer one is fetched: the
	// presets then change once, when it arrives.
	#presetPicture(guid) {
		const version = this.state.pictureOf(guid)
		if (!this.client.linked || version === 0) return undefined
		if (this.pictures.peek(guid, defs.PICTURE_SIZE, version))
			return this.pictures.peek(guid, defs.PICTURE_SIZE, version)
		this.pictures.get(guid, defs.PICTURE_SIZE, version)
		return this.pictures.peek(guid, defs.PICTURE_SIZE)
	}

	#rebuildDefinitions() {
		const choices = defs.choicesKey(this.state)
		if (choices !== this.sent.choices) this.#publishDefinitions(choices)
		this.#publishPresets()
	}

	#publishDefinitions(choices) {
		this.sent.choices = choices
		this.setActionDefinitions(defs.actionDefinitions(this.state, (cmd, fields) => this.#run(cmd, fields)))
		const picture = (guid, size, id) => this.#picture(guid, size, id)
		const forget = (id) => this.#watch(id, undefined)
		this.setFeedbackDefinitions(defs.feedbackDefinitions(this.state, picture, forget))
	}

	// Pictures arrive one by one: the previews follow in batches, and the
	// presets go to Companion only when they differ from the last sent.
	#publishPresets() {
		const { items, key } = defs.presetItems(this.state, (guid) => this.#presetPicture(guid))
		if (key === this.sent.presets) return
		this.sent.presets = key
		this.setPresetDefinitions(defs.presetDefinitions(items))
	}

	#rebuildSoon() {
		this.#debounce('rebuild', REBUILD_WAIT_MS, () => {
			this.#rebuildDefinitions()
			this.checkFeedbacks()
		})
	}

	#presetsSoon() {
		this.#debounce('presets', PRESET_PICTURES_WAIT_MS, () => this.#publishPresets())
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
			}, delay),
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
			}, 0),
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

runEntrypoint(OvcgInstance, UPGRADE_SCRIPTS)

module.exports = OvcgInstance
