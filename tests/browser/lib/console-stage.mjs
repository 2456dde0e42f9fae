// The real console as the panel's stage: build/bin/OvCGVestrel in a program
// folder of its own (config.ini with the API, the view token and OSC), on an
// Xvfb display of its own, logged in through its login dialog (xdotool) to
// the simulator ovcg-sim as its CG server. The simulator's record of frames
// says what reached the server; its control socket makes the changes "at the
// server"; OSC on loopback makes the console's own (the lock, the current
// item). Point OV_PANEL_STAGE at this file; OV_BIN names the folder with the
// programs (default: build/bin). Needs the suite's network namespace
// (scripts/netns-run), where the simulator's discovery finds the console.

import { spawn, execFileSync } from 'node:child_process'
import dgram from 'node:dgram'
import fs from 'node:fs'
import net from 'node:net'
import os from 'node:os'
import path from 'node:path'
import { fileURLToPath } from 'node:url'

const HERE = path.dirname(fileURLToPath(import.meta.url))
const BIN = path.resolve(process.env.OV_BIN || path.join(HERE, '../../../build/bin'))
const SERVER = '10.77.0.1'
const SERVER_PORT = 19999
const API_PORT = 19100
const OSC_PORT = 19101
const sleep = (ms) => new Promise((r) => setTimeout(r, ms))

export const TOKEN = 'panel-stage-control-token'
export const VIEW_TOKEN = 'panel-stage-view-token-1'

export async function openStage(options = {}) {
  if (process.env.OV_IN_NETNS !== '1') throw new Error('the console stage runs inside scripts/netns-run')
  return new ConsoleStage(options).open()
}

async function until(check, what, timeoutMs = 20000) {
  const end = Date.now() + timeoutMs
  for (;;) {
    const value = await check()
    if (value) return value
    if (Date.now() > end) throw new Error(`the console stage: ${what} did not happen`)
    await sleep(50)
  }
}

function run(file, args, env) {
  return execFileSync(file, args, { env, encoding: 'utf8', stdio: ['ignore', 'pipe', 'ignore'], timeout: 30000 })
}

// One OSC message: the address, and an int32 argument if given.
function osc(address, value) {
  const pad = (b) => Buffer.concat([b, Buffer.alloc(4 - (b.length % 4))])
  const parts = [pad(Buffer.from(address)), pad(Buffer.from(value === undefined ? ',' : ',i'))]
  if (value !== undefined) {
    const arg = Buffer.alloc(4)
    arg.writeInt32BE(value)
    parts.push(arg)
  }
  return Buffer.concat(parts)
}

class ConsoleStage {
  constructor(options) {
    this.options = options
    this.token = TOKEN
    this.viewToken = VIEW_TOKEN
    this.url = `http://127.0.0.1:${API_PORT}/`
    this.port = API_PORT
    this.fake = false
    this.items = []
    this.dir = fs.mkdtempSync(path.join(os.tmpdir(), 'ov-console-stage-'))
    this.app = path.join(this.dir, 'app')
    this.simLog = path.join(this.dir, 'sim.log')
    this.procs = []
  }

  async open() {
    try {
      await this.#startDisplay()
      await this.#startSimulator()
      this.#copyProgram()
      this.#writeCues()
      await this.start()
      return this
    } catch (error) {
      await this.close()
      throw error
    }
  }

  // ---- the processes ----

  async #startDisplay() {
    let n
    do n = 100 + Math.floor(Math.random() * 400)
    while (fs.existsSync(`/tmp/.X11-unix/X${n}`) || fs.existsSync(`/tmp/.X${n}-lock`))
    this.display = `:${n}`
    this.xvfb = spawn('Xvfb', [this.display, '-screen', '0', '1600x1000x24', '-noreset'], { stdio: 'ignore' })
    this.procs.push(this.xvfb)
    await until(() => fs.existsSync(`/tmp/.X11-unix/X${n}`), 'Xvfb')
    const runtime = path.join(this.dir, 'xdg')
    fs.mkdirSync(runtime, { mode: 0o700 })
    this.env = {
      ...process.env,
      DISPLAY: this.display,
      QT_QPA_PLATFORM: 'xcb',
      XDG_RUNTIME_DIR: runtime,
      XDG_DATA_HOME: path.join(this.dir, 'data'),
      LANG: 'C.UTF-8',
      LC_ALL: 'C.UTF-8',
    }
  }

  async #startSimulator() {
    const args = ['--listen', SERVER, '--port', String(SERVER_PORT), '--control-port', '0', '--log', this.simLog]
    args.push('--items', String(this.options.items ?? 12))
    const sim = spawn(path.join(BIN, 'ovcg-sim'), args, { env: this.env, stdio: ['pipe', 'pipe', 'ignore'] })
    this.procs.push(sim)
    let out = ''
    sim.stdout.on('data', (d) => (out += d))
    const found = await until(() => /control 127\.0\.0\.1:(\d+)/.exec(out), 'the simulator', 120000)
    this.controlPort = Number(found[1])
    for (const line of await this.sim('list')) {
      const m = /^\s+(\d+) (\S+) (\d) (.*)$/.exec(line)
      if (m) this.items[Number(m[1])] = { guid: m[2], name: m[4], status: Number(m[3]) }
    }
  }

  #copyProgram() {
    fs.mkdirSync(path.join(this.app, 'log'), { recursive: true })
    for (const entry of fs.readdirSync(BIN)) {
      const from = path.join(BIN, entry)
      if (entry === 'OvCGVestrel' || entry.startsWith('libOvUIUtility.so')) fs.cpSync(from, path.join(this.app, entry), { verbatimSymlinks: true })
      else if (entry === 'qss' || entry === 'language') fs.cpSync(from, path.join(this.app, entry), { recursive: true })
    }
    const config = [
      '[CONFIG]',
      `api_port=${API_PORT}`,
      'api_address=0.0.0.0',
      `api_token=${TOKEN}`,
      `api_view_token=${VIEW_TOKEN}`,
      `osc_port=${OSC_PORT}`,
      `language=${this.options.language === 'en' ? 'en' : 'zh_CN'}`,
    ]
    fs.writeFileSync(path.join(this.app, 'config.ini'), config.join('\n') + '\n')
  }

  // The running order as the console keeps it for this server, read at its login.
  #writeCues() {
    if (!this.options.cues) return
    const folder = path.join(this.env.XDG_DATA_HOME, 'OvCGVestrel', 'running-order')
    fs.mkdirSync(folder, { recursive: true })
    const cues = this.options.cues.map((p) => ({ guid: this.item(p).guid, duration: 0, name: this.item(p).name }))
    const next = this.options.next ?? (cues.length ? 1 : 0)
    const order = { version: 1, next: next - 1, cues }
    fs.writeFileSync(path.join(folder, `${SERVER}_${SERVER_PORT}.json`), JSON.stringify(order))
  }

  // The console starts and logs in as an operator does: the connect button,
  // the login dialog, the simulator found, Return.
  async start() {
    const from = this.#simLines().length
    this.console = spawn(path.join(this.app, 'OvCGVestrel'), [], { env: this.env, stdio: 'ignore' })
    this.procs.push(this.console)
    const window = run('xdotool', ['search', '--sync', '--onlyvisible', '--name', '^CGVestrel$'], this.env).split('\n')[0]
    const g = Object.fromEntries(
      run('xdotool', ['getwindowgeometry', '--shell', window], this.env)
        .trim()
        .split('\n')
        .map((l) => l.split('=')),
    )
    const before = this.#windows().length
    // The connect button, bottom left.
    run('xdotool', ['mousemove', String(Number(g.X) + 56), String(Number(g.Y) + Number(g.HEIGHT) - 28), 'click', '1'], this.env)
    await until(() => this.#windows().length > before, 'the login dialog')
    await until(() => this.#simLines().slice(from).some((l) => l.includes('discovery: announcement') && l.endsWith('answered')), 'the discovery')
    const dialog = this.#windows().find((w) => w !== window)
    const loggedIn = () => this.#simLines().slice(from).some((l) => /<- \{"cmd":"syncCGList","cmdType":"response"/.test(l))
    for (let attempt = 1; ; attempt++) {
      // The answer listed in the dialog, which then connects to it.
      await sleep(500 * attempt)
      run('xdotool', ['windowfocus', '--sync', dialog], this.env)
      run('xdotool', ['key', 'Return'], this.env)
      try {
        await until(loggedIn, 'the login', 8000)
        break
      } catch (error) {
        if (attempt === 3) throw error
      }
      // Too soon on a loaded machine: the box that says so goes, the dialog stays.
      for (const other of this.#windows().filter((w) => w !== window && w !== dialog)) {
        run('xdotool', ['windowfocus', '--sync', other], this.env)
        run('xdotool', ['key', 'Escape'], this.env)
      }
    }
    // The catalogue listed, the state told.
    await sleep(300)
  }

  // The console quits as an operator's second start would ask it to.
  async stop() {
    const proc = this.console
    if (!proc || proc.exitCode !== null) return
    const exited = new Promise((r) => proc.once('exit', r))
    await new Promise((resolve) => {
      const socket = net.connect(path.join(this.env.XDG_RUNTIME_DIR, 'OvCG_Vestrel'), () => socket.end('close'))
      socket.on('error', () => {
        proc.kill()
        resolve()
      })
      socket.on('close', resolve)
    })
    await Promise.race([exited, sleep(15000).then(() => proc.kill('SIGKILL'))])
    await exited
  }

  async close() {
    for (const proc of this.procs.reverse()) if (proc.exitCode === null && proc.signalCode === null) proc.kill('SIGKILL')
    await sleep(100)
    this.udp?.close()
    fs.rmSync(this.dir, { recursive: true, force: true })
  }

  #windows() {
    try {
      return run('xdotool', ['search', '--onlyvisible', '--class', 'OvCGVestrel'], this.env).split('\n').filter(Boolean)
    } catch {
      return []
    }
  }

  #simLines() {
    try {
      return fs.readFileSync(this.simLog, 'utf8').split('\n').slice(0, -1)
    } catch {
      return []
    }
  }

  // ---- the controls ----

  // One command to the simulator; its reply lines.
  sim(line) {
    return new Promise((resolve, reject) => {
      const socket = net.connect(this.controlPort, '127.0.0.1', () => socket.write(line + '\n'))
      let text = ''
      socket.on('data', (d) => {
        text += d
        if (/^(ok|error)\b.*\n/m.test(text)) {
          socket.end()
          const lines = text.split('\n')
          if (lines.some((l) => l.startsWith('error'))) reject(new Error(`ovcg-sim: ${line}: ${text}`))
          else resolve(lines)
        }
      })
      socket.on('error', reject)
    })
  }

  #osc(address, value) {
    this.udp ??= dgram.createSocket('udp4')
    return new Promise((resolve) => this.udp.send(osc(address, value), OSC_PORT, '127.0.0.1', resolve))
  }

  item(position) {
    return this.items[position - 1]
  }

  async status(position) {
    const lines = await this.sim('list')
    const line = lines.find((l) => l.trim().split(/\s+/)[0] === String(position - 1))
    return Number(line.trim().split(/\s+/)[2])
  }

  setStatus(position, status) {
    return this.sim(`status ${position - 1} ${status}`)
  }

  // A new name, and a card that shows it.
  async rename(position, name) {
    this.items[position - 1].name = name
    await this.sim(`rename ${position - 1} "${name.replaceAll('"', '\\"')}"`)
    return this.sim(`image ${position - 1}`)
  }

  setLocked(locked) {
    return this.#osc(locked ? '/ovcg/lock' : '/ovcg/unlock')
  }

  setCurrent(position) {
    return this.#osc('/ovcg/select', position)
  }

  // The server holds its answers to takes back, then gives them.
  hold() {
    return this.sim('hold on')
  }

  set holdState(hold) {
    if (hold) throw new Error('the real console sends its state at once')
  }

  release() {
    return this.sim('hold off')
  }

  // The takes that reached the server: { cmd, item } as the API names them.
  get commands() {
    const names = { 0: 'cancel', 1: 'pgm', 2: 'pvw' }
    const found = []
    for (const line of this.#simLines()) {
      const at = line.indexOf(' -> {"cmd":"updateCG"')
      if (at < 0) continue
      try {
        const { value } = JSON.parse(line.slice(at + 4))
        found.push({ cmd: names[value.operationValue?.curStatus], item: value.operationTarget })
      } catch {
        // A frame the record cut short: not one of these.
      }
    }
    return found
  }

  async waitFor(test, what, timeoutMs = 15000) {
    return until(() => this.commands.find(test), `the server getting ${what}`, timeoutMs)
  }

  // The console's log file, a line each.
  log() {
    try {
      return fs.readFileSync(path.join(this.app, 'log', 'log.txt'), 'utf8').split('\r\n')
    } catch {
      return []
    }
  }
}
