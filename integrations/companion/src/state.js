'use strict'

// What the console has told us, in the shape the buttons need. Fed with the
// API's messages one by one; apply() says what changed so that the module
// redraws only what has to be redrawn.

// As the console sends them: the CG server's own numbering, as over OSC.
const OFF = 0
const PGM = 1
const PVW = 2

function cleanItem(raw) {
	return {
		guid: String(raw.guid),
		name: typeof raw.name === 'string' ? raw.name : '',
		position: Number(raw.position) || 0,
		status: raw.status === PGM || raw.status === PVW ? raw.status : OFF,
	}
}

class ConsoleState {
	constructor() {
		this.clear()
	}

	clear() {
		this.connected = false
		this.server = null
		this.locked = false
		this.current = null
		this.currentName = ''
		this.total = 0
		this.items = []
		this.byGuid = new Map()
		this.cues = []
		this.next = null
		this.lastTakeMs = null
	}

	get complete() {
		return this.items.length >= this.total
	}

	statusOf(guid) {
		const item = this.byGuid.get(guid)
		return item ? item.status : OFF
	}

	nameOf(guid) {
		const item = this.byGuid.get(guid)
		return item ? item.name : ''
	}

	get nextCueName() {
		const cue = this.next ? this.cues[this.next - 1] : undefined
		return cue && typeof cue.name === 'string' ? cue.name : ''
	}

	// Returns the kinds of change: catalogue (list or names), status, current,
	// connected, locked, cues, take, and picture (the guid whose picture changed).
	apply(msg) {
		const changed = new Set()
		if (!msg || typeof msg !== 'object') return { changed }
		switch (msg.type) {
			case 'state':
				this.connected = !!msg.connected
				this.server = msg.server ?? null
				this.locked = !!msg.locked
				this.#setCurrent(msg.current ?? null, undefined)
				this.#replaceItems(msg.items, msg.total)
				this.#setCues(msg.cues, msg.next)
				for (const kind of ['catalogue', 'status', 'current', 'connected', 'locked', 'cues']) changed.add(kind)
				break
			case 'items':
				if (this.#addSlice(msg)) changed.add('catalogue').add('status')
				break
			case 'item':
			case 'take': {
				const known = this.byGuid.get(String(msg.guid))
				if (known) {
					const fresh = cleanItem(msg)
					if (fresh.name !== known.name) changed.add('catalogue')
					if (fresh.status !== known.status) changed.add('status')
					known.name = fresh.name
					known.status = fresh.status
					if (this.current === known.guid && this.currentName !== known.name) {
						this.currentName = known.name
						changed.add('current')
					}
				}
				if (msg.type === 'take' && Number.isFinite(msg.ms)) {
					this.lastTakeMs = msg.ms
					changed.add('take')
				}
				break
			}
			case 'current':
				this.#setCurrent(msg.guid ?? null, msg.name)
				changed.add('current').add('status')
				break
			case 'connected':
				this.connected = !!msg.connected
				this.server = msg.server ?? null
				changed.add('connected')
				break
			case 'locked':
				this.locked = !!msg.locked
				changed.add('locked')
				break
			case 'cues':
				this.#setCues(msg.cues, msg.next)
				changed.add('cues')
				break
			case 'picture':
				if (msg.guid !== undefined) return { changed: changed.add('picture'), picture: String(msg.guid) }
				break
		}
		return { changed }
	}

	#setCurrent(guid, name) {
		this.current = guid === null ? null : String(guid)
		this.currentName = typeof name === 'string' ? name : this.current ? this.nameOf(this.current) : ''
	}

	#replaceItems(items, total) {
		this.items = []
		this.byGuid = new Map()
		this.total = 0
		this.#addSlice({ offset: 0, items, total })
	}

	// A slice at offset 0 starts the list afresh; any other lands where it says.
	#addSlice({ offset, items, total }) {
		if (!Array.isArray(items)) return false
		offset = Number.isInteger(offset) && offset >= 0 ? offset : this.items.length
		if (offset === 0) {
			this.items = []
			this.byGuid = new Map()
		}
		this.total = Number.isInteger(total) && total >= 0 ? total : Math.max(this.total, offset + items.length)
		items.forEach((raw, i) => {
			if (!raw || raw.guid === undefined) return
			const item = cleanItem(raw)
			const old = this.items[offset + i]
			if (old) this.byGuid.delete(old.guid)
			this.items[offset + i] = item
			this.byGuid.set(item.guid, item)
		})
		if (this.items.length > this.total) {
			for (const dropped of this.items.splice(this.total)) if (dropped) this.byGuid.delete(dropped.guid)
		}
		if (this.current) this.currentName = this.nameOf(this.current) || this.currentName
		return true
	}

	#setCues(cues, next) {
		this.cues = Array.isArray(cues) ? cues : []
		this.next = Number.isInteger(next) && next >= 1 ? next : null
	}
}

module.exports = { ConsoleState, OFF, PVW, PGM }
