'use strict'

// Item pictures for the buttons, fetched with the API's thumbnail command.
// The console answers at most 100 commands a second per client and the
// buttons' own presses share that budget, so fetches go through a small
// queue: a few at a time, and no faster than perSecond.

class PictureCache {
	#fetch
	#onReady
	#cache = new Map() // key -> png64, or null for "no picture"
	#queue = []
	#queued = new Set()
	#stale = new Set() // queued or in flight when their picture changed
	#inFlight = 0
	#lastStart = 0
	#timer = null
	#generation = 0

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

	static key(guid, size) {
		return `${size}:${guid}`
	}

	// The cached picture (base64 PNG), null when the item has none, or
	// undefined while it is being fetched.
	get(guid, size) {
		const key = PictureCache.key(guid, size)
		if (this.#cache.has(key)) {
			const png = this.#cache.get(key)
			this.#cache.delete(key)
			this.#cache.set(key, png)
			return png
		}
		this.#enqueue(guid, size)
		return undefined
	}

	peek(guid, size) {
		return this.#cache.get(PictureCache.key(guid, size))
	}

	invalidate(guid) {
		const ofGuid = (key) => key.slice(key.indexOf(':') + 1) === guid
		for (const key of [...this.#cache.keys()]) if (ofGuid(key)) this.#cache.delete(key)
		for (const key of this.#queued) if (ofGuid(key)) this.#stale.add(key)
	}

	clear() {
		this.#generation++
		this.#cache.clear()
		this.#queue = []
		this.#queued.clear()
		this.#stale.clear()
		clearTimeout(this.#timer)
		this.#timer = null
	}

	get size() {
		return this.#cache.size
	}

	#enqueue(guid, size) {
		const key = PictureCache.key(guid, size)
		if (this.#queued.has(key)) return
		this.#queued.add(key)
		this.#queue.push({ guid, size, key })
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

	#start(job) {
		const generation = this.#generation
		this.#inFlight++
		Promise.resolve()
			.then(() => this.#fetch(job.guid, job.size))
			.then(
				(answer) => {
					if (generation !== this.#generation) return
					this.#queued.delete(job.key)
					// An answer older than the change is dropped; the check that
					// follows asks for the new picture.
					if (!this.#stale.delete(job.key)) this.#store(job.key, answer && answer.png ? answer.png : null)
					this.#onReady(job.guid)
				},
				() => {
					if (generation !== this.#generation) return
					// Asked again after a while, unless nobody wants it by then.
					setTimeout(() => {
						if (generation !== this.#generation) return
						this.#queued.delete(job.key)
						this.#stale.delete(job.key)
						this.#onReady(job.guid)
					}, this.retryMs).unref?.()
				}
			)
			.finally(() => {
				this.#inFlight--
				this.#pump()
			})
	}

	#store(key, png) {
		this.#cache.delete(key)
		this.#cache.set(key, png)
		while (this.#cache.size > this.max) this.#cache.delete(this.#cache.keys().next().value)
	}
}

module.exports = { PictureCache }
