// Tile pictures through the API's thumbnail command, kept by guid and picture
// version: a picture is fetched once per version, only for tiles in view, a
// few at a time (the console makes at most eight per client at once).

const IN_FLIGHT = 4
const KEEP = 800
const RETRY_MS = 400

export class Pictures {
  constructor(link, onLoaded) {
    this.link = link
    this.onLoaded = onLoaded
    this.size = 128
    this.cache = new Map() // guid -> { version, url }
    this.queue = new Map() // guid -> version
    this.fetching = new Map() // guid -> version
    this.busy = 0
    this.holdUntil = 0
    this.holdTimer = null
  }

  // While the view scrolls the tiles fly past: their pictures are asked for
  // once it rests, and only for what is then in view.
  hold(ms) {
    this.holdUntil = performance.now() + ms
    if (!this.holdTimer) this.holdTimer = setTimeout(() => this.#resume(), ms)
  }

  #resume() {
    this.holdTimer = null
    const left = this.holdUntil - performance.now()
    if (left > 0) this.holdTimer = setTimeout(() => this.#resume(), left)
    else this.#pump()
  }

  // The picture to show for this version: the cached one, or the older one
  // while the newer is fetched; null when there is none yet.
  url(guid, version) {
    if (!version) return null
    const entry = this.cache.get(guid)
    if (entry) {
      // Most recently used last: the oldest are dropped first.
      this.cache.delete(guid)
      this.cache.set(guid, entry)
    }
    if (!entry || entry.version !== version) this.#want(guid, version)
    return entry ? entry.url : null
  }

  // Only what is in view is worth fetching.
  keepOnly(guids) {
    for (const guid of this.queue.keys()) if (!guids.has(guid)) this.queue.delete(guid)
  }

  clear() {
    for (const entry of this.cache.values()) if (entry.url) URL.revokeObjectURL(entry.url)
    this.cache.clear()
    this.queue.clear()
  }

  #want(guid, version) {
    if (this.fetching.get(guid) !== version) this.queue.set(guid, version)
    // Also after a reconnection, when the queue waited for the link.
    this.#pump()
  }

  #pump() {
    if (this.holdTimer) return
    while (this.busy < IN_FLIGHT && this.queue.size && this.link.state === 'authenticated') {
      const [guid, version] = this.queue.entries().next().value
      this.queue.delete(guid)
      this.#fetch(guid, version)
    }
  }

  #fetch(guid, version) {
    this.busy++
    this.fetching.set(guid, version)
    const done = () => {
      this.busy--
      if (this.fetching.get(guid) === version) this.fetching.delete(guid)
      this.#pump()
    }
    this.link.send('thumbnail', { item: guid, size: this.size }).then(
      (answer) => {
        if (answer.ok && typeof answer.png === 'string') {
          this.#store(guid, version, decode(answer.png))
        } else if (answer.error === 'busy' || answer.error === 'rate limited') {
          // The console is making others: asked again a moment later, the
          // slot held meanwhile so that the others wait too.
          this.busy++
          setTimeout(() => {
            this.busy--
            if (this.cache.get(guid)?.version !== version && !this.queue.has(guid)) this.queue.set(guid, version)
            this.#pump()
          }, RETRY_MS)
        } else {
          this.#store(guid, version, null)
        }
        done()
      },
      () => done(),
    )
  }

  #store(guid, version, bytes) {
    const old = this.cache.get(guid)
    if (old && old.url) URL.revokeObjectURL(old.url)
    const url = bytes ? URL.createObjectURL(new Blob([bytes], { type: 'image/png' })) : null
    this.cache.delete(guid)
    this.cache.set(guid, { version, url })
    while (this.cache.size > KEEP) {
      const [oldest, entry] = this.cache.entries().next().value
      if (entry.url) URL.revokeObjectURL(entry.url)
      this.cache.delete(oldest)
    }
    this.onLoaded(guid)
  }
}

function decode(base64) {
  try {
    const bin = atob(base64)
    const bytes = new Uint8Array(bin.length)
    for (let i = 0; i < bin.length; i++) bytes[i] = bin.charCodeAt(i)
    return bytes
  } catch {
    return null
  }
}
