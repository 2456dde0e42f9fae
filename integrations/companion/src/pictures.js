'use strict'

// Item pictures for the buttons, fetched with the API's thumbnail command.
// The console answers at most 100 commands a second per client and the
// buttons' own presses share that budget, so fetches go through a small
// queue: a few at a time, and no faster than perSecond.
//
// Each picture is kept with the item's picture version it was fetched for;
// asked for with another version, it is fetched again. A change therefore
// costs nothing until a button shows the item, however many changes come.

class PictureCache {
	#fetch
	#onReady
	#cache = new Map() // key -> { version, png (base64, or null: no picture), serial }, oldest use first
	#jobs = new Map() // key -> { guid, size, version }, queued or in flight
	#queue = []
	#inFlight = 0
	#lastStart = 0
	#timer = null
	#generation = 0
	#serial = 0

	// fetch(guid, size) resolves with { png } or { missing: true }, or rejects
	// (not linked, rate limited, no answer): then the picture is asked again later.
	constructor(fetch, onReady, { max = 2000, concurrency = 4, perSecond = 40, retryMs = 1000 } = {}) {
		this.#fetch = fetch
		this.#onReady = onReady
		this.max = max
		this.concurrency = concurrency
		this.intervalMs = 1000 / perSecond
		this.retryMs = retryMs
	}

	// The picture (base64 PNG) of that version, null when the item has none,
	// or undefined while it is being fetched.
	get(guid, size, version) {
		const entry = this.peek(guid, size, version)
		if (entry) {
			const key = `${size}:${guid}`
			this.#cache.delete(key)
			this.#cache.set(key, entry)
			return entry.png
		}
		this.#enqueue(guid, size, version)
		return undefined
	}

	// The entry held for that version (without one: for any), without
	// fetching; its serial tells one fetched picture from another.
	peek(guid, size, version) {
		const entry = this.#cache.get(`${size}:${guid}`)
		return entry && (version === undefined || entry.version === version) ? entry : undefined
	}

	clear() {
		this.#generation++
		this.#cache.clear()
		this.#jobs.clear()
		this.#queue = []
		clearTimeout(this.#timer)
		this.#timer = null
	}

	get size() {
		return this.#cache.size
	}

	#enqueue(guid, size, version) {
		const key = `${size}:${guid}`
		const job = this.#jobs.get(key)
		// Asked for while fetching: the newest version is the one to keep.
		if (job) return void (job.version = version)
		this.#jobs.set(key, { guid, size, version })
		this.#queue.push(key)
		this.#pump()
	}

	#pump() {
		if (this.#timer) return
		while (this.#queue.length && this.#inFlight < this.concurrency) {
			const wait = this.#lastStart + this.intervalMs - Date.now()
			if (wait > 0) {
				this.#timer = setTimeout(() => {
					this.#timer = null
					this.#pump()
				}, wait)
				return
			}
			this.#lastStart = Date.now()
			this.#start(this.#queue.shift())
		}
	}

	#start(key) {
		const generation = this.#generation
		const job = this.#jobs.get(key)
		const version = job.version
		this.#inFlight++
		Promise.resolve()
			.then(() => this.#fetch(job.guid, job.size))
			.then(
				(answer) => {
					if (generation !== this.#generation) return
					this.#jobs.delete(key)
					// An answer for an older version is kept as that version: the
					// check that follows asks for the newer one.
					this.#store(key, { version, png: answer?.png ? answer.png : null, serial: ++this.#serial })
					this.#onReady(job.guid)
				},
				() => {
					if (generation !== this.#generation) return
					// Asked again after a while, unless nobody wants it by then.
					setTimeout(() => {
						if (generation !== this.#generation) return
						this.#jobs.delete(key)
						this.#onReady(job.guid)
					}, this.retryMs).unref?.()
				},
			)
			.finally(() => {
				this.#inFlight--
				this.#pump()
			})
	}

	#store(key, entry) {
		this.#cache.delete(key)
		this.#cache.set(key, entry)
		while (this.#cache.size > this.max) this.#cache.delete(this.#cache.keys().next().value)
	}
}

module.exports = { PictureCache }
