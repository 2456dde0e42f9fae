// The panel page in Debian's Chromium, headless, against lib/stage.mjs: the
// fake console, or the real one with the simulator behind it when
// OV_PANEL_STAGE names lib/console-stage.mjs (as the suite does). The few
// tests that need what only the fake can do (hold the state back, send
// nonsense, 100,000 items in a moment) open the fake whatever the stage.
// OV_SHOTS names the folder for the phone's screenshot.

import { test, before, after } from 'node:test'
import assert from 'node:assert/strict'
import fs from 'node:fs'
import http from 'node:http'
import path from 'node:path'
import { launch, openPanel, login, waitTakesOn, tile, PHONE, CHROMIUM, FLAGS } from './lib/browser.mjs'
import { openStage, openFake } from './lib/stage.mjs'
import { PANEL_DIR } from './lib/fake-console.mjs'
import { makeShots } from './lib/shots.mjs'
import { chromium } from 'playwright-core'

let browser
before(async () => {
  browser = await launch()
})
after(() => browser?.close())

async function withPanel(stageOptions, panelOptions, body, open = openStage) {
  const stage = await open(stageOptions)
  try {
    const panel = await openPanel(browser, stage.url, { token: stage.token, ...panelOptions(stage) })
    try {
      await body(stage, panel.page, panel)
    } finally {
      await panel.close()
    }
  } finally {
    await stage.close()
  }
}

const takeButton = (page, position, act) => tile(page, position).locator(`button[data-act=${act}]`)
const stored = (page) => page.evaluate(() => [sessionStorage.getItem('ovpanel.token'), localStorage.getItem('ovpanel.token')])
async function until(check, what, timeoutMs = 15000) {
  const end = Date.now() + timeoutMs
  while (!(await check())) {
    if (Date.now() > end) throw new Error(`${what} did not happen`)
    await new Promise((r) => setTimeout(r, 50))
  }
}

test('the token page: a wrong token is refused, the right one kept in the tab unless remembered', async () => {
  await withPanel({}, () => ({ token: undefined }), async (stage, page, panel) => {
    await login(page, 'not-the-token-of-the-console')
    await page.locator('#login-error', { hasText: '认证失败' }).waitFor()
    assert.deepEqual(await stored(page), [null, null])
    await login(page, stage.token)
    await waitTakesOn(page)
    assert.deepEqual(await stored(page), [stage.token, null])
    const other = await panel.context.newPage()
    await other.goto(stage.url)
    await other.locator('#login').waitFor()
    await other.locator('#remember').check()
    await login(other, stage.token)
    await waitTakesOn(other)
    const third = await panel.context.newPage()
    await third.goto(stage.url)
    await waitTakesOn(third)
  })
})

test('a view-only seat sees the tallies in the console\'s language and no take button; a forged command is read only', async () => {
  await withPanel({ language: 'en' }, (stage) => ({ token: stage.viewToken }), async (stage, page) => {
    await page.locator('#role-state', { hasText: 'View only' }).waitFor()
    await page.locator('h2', { hasText: 'CG list' }).waitFor()
    await stage.setStatus(2, 1)
    await tile(page, 2).and(page.locator('.pgm')).waitFor()
    assert.equal(await page.locator('button.take:visible').count(), 0)
    const answer = await page.evaluate(
      (token) =>
        new Promise((resolve) => {
          const ws = new WebSocket(`ws://${location.host}/`)
          ws.onopen = () => ws.send(JSON.stringify({ cmd: 'auth', token, id: 1 }))
          ws.onmessage = (e) => {
            const msg = JSON.parse(e.data)
            if (msg.type === 'state') ws.send(JSON.stringify({ cmd: 'pgm', item: 3, id: 2 }))
            if (msg.id === 2) resolve(msg)
          }
        }),
      stage.viewToken,
    )
    assert.equal(answer.error, 'read only')
    assert.equal(await stage.status(3), 0)
  })
})

test('a PGM click reaches the server, and the tile turns red only on its confirmation; a change at the server shows', async () => {
  await withPanel({}, () => ({}), async (stage, page) => {
    await waitTakesOn(page)
    await stage.hold()
    await takeButton(page, 2, 'pgm').click()
    await stage.waitFor((c) => c.cmd === 'pgm' && c.item === stage.item(2).guid, 'the PGM take')
    await tile(page, 2).locator('.sending:not(:empty)').waitFor()
    assert.equal(await tile(page, 2).and(page.locator('.pgm')).count(), 0)
    await stage.release()
    await tile(page, 2).and(page.locator('.pgm')).waitFor()
    await stage.setStatus(3, 2)
    await tile(page, 3).and(page.locator('.pvw')).waitFor()
  })
})

test('the lock from the console turns the takes off; GO from the page takes the next cue', async () => {
  await withPanel({ cues: [4, 6] }, () => ({}), async (stage, page) => {
    await waitTakesOn(page)
    await stage.setLocked(true)
    await page.locator('#lock-state').waitFor()
    await page.waitForFunction(() => [...document.querySelectorAll('.tile:not([hidden]) .take, #go, #clearall')].every((b) => b.getAttribute('aria-disabled') === 'true'))
    await page.locator('#lock').click()
    await waitTakesOn(page)
    await page.locator('#go').click()
    await tile(page, 4).and(page.locator('.pgm')).waitFor()
    await page.locator('#next-name', { hasText: stage.item(6).name }).waitFor()
  })
})

test('the console restarted: the page tells the age of what it shows, reconnects by itself, and takes nothing until the fresh state', async () => {
  await withPanel({}, () => ({}), async (stage, page) => {
    await waitTakesOn(page)
    await stage.stop()
    await page.locator('#stale', { hasText: '前的状态' }).waitFor()
    assert.equal(await page.locator('.tile .take[aria-disabled="false"]').count(), 0)
    await stage.start()
    await waitTakesOn(page)
    assert.equal(await page.locator('#stale').isVisible(), false)
  })
})

test('reconnected, the page takes nothing until the fresh state has arrived', async () => {
  await withPanel({}, () => ({}), async (stage, page) => {
    await waitTakesOn(page)
    await stage.stop()
    await page.locator('#stale', { hasText: '前的状态' }).waitFor()
    stage.holdState = true
    await stage.start()
    await page.waitForFunction(() => document.querySelector('#rtt').textContent !== '')
    assert.equal(await page.locator('#stale').isVisible(), true)
    assert.equal(await page.locator('.tile .take[aria-disabled="false"]').count(), 0)
    stage.release()
    await waitTakesOn(page)
    assert.equal(await page.locator('#stale').isVisible(), false)
  }, openFake)
})

test('a seat\'s name is in the list of seats and in the console\'s log line of its take', async () => {
  await withPanel({}, () => ({ seat: '导演 iPad' }), async (stage, page) => {
    await waitTakesOn(page)
    await page.locator('#seats li', { hasText: '导演 iPad' }).waitFor({ state: 'attached' })
    await takeButton(page, 3, 'pgm').click()
    await tile(page, 3).and(page.locator('.pgm')).waitFor()
    if (stage.fake) await stage.waitFor((c) => c.cmd === 'pgm' && c.seat === '导演 iPad', 'the seat\'s take')
    else await until(() => stage.log().some((l) => l.endsWith(`远程接口（导演 iPad）:发布"${stage.item(3).name}"到PGM`)), 'the log line')
  })
})

test('a touch take needs a second tap on the armed button; a seat can turn that off', async () => {
  await withPanel({}, () => ({ device: PHONE }), async (stage, page) => {
    await waitTakesOn(page)
    const pgm = takeButton(page, 1, 'pgm')
    await pgm.tap()
    await page.locator('button.armed', { hasText: '再按 PGM' }).waitFor()
    assert.equal(stage.commands.filter((c) => c.cmd === 'pgm').length, 0)
    await pgm.tap()
    await tile(page, 1).and(page.locator('.pgm')).waitFor()
    assert.equal(stage.commands.filter((c) => c.cmd === 'pgm').length, 1)
    await page.locator('#settings summary').tap()
    await page.locator('#touch-confirm').uncheck()
    await page.locator('#settings summary').tap()
    await takeButton(page, 2, 'pvw').tap()
    await tile(page, 2).and(page.locator('.pvw')).waitFor()
  })
})

// What a request of the console's port gets: status and headers. The path
// goes as written (a URL would have its dots resolved).
function request(stage, target, { method = 'GET', headers = {} } = {}) {
  const { hostname, port } = new URL(stage.url)
  return new Promise((resolve, reject) => {
    const req = http.request({ hostname, port, path: target, method, headers, agent: false }, (res) => {
      res.resume()
      res.on('end', () => resolve(res))
    })
    req.on('error', reject)
    req.end()
  })
}

const SECURITY = {
  'content-security-policy':
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' blob:; connect-src 'self'; " +
    "base-uri 'none'; form-action 'none'; frame-ancestors 'none'",
  'x-content-type-options': 'nosniff',
  'referrer-policy': 'no-referrer',
  'cache-control': 'no-cache',
}

test('the page\'s files with their types and headers; a foreign Host and a foreign Origin refused', async () => {
  const stage = await openStage({})
  const server = http.createServer((req, res) => {
    // A web site elsewhere whose script tries the console's API.
    res.writeHead(200, { 'Content-Type': 'text/html' })
    res.end(`<script>const ws = new WebSocket('ws://127.0.0.1:${stage.port}/');
      ws.onopen = () => { document.title = 'open' }; ws.onclose = (e) => { document.title = 'closed ' + e.code }</script>`)
  })
  // A browser that finds evil.example at the console's address: DNS rebinding.
  const rebound = await chromium.launch({ executablePath: CHROMIUM, headless: true, args: [...FLAGS, '--host-resolver-rules=MAP evil.example 127.0.0.1'] })
  try {
    const types = { '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8', '.css': 'text/css; charset=utf-8', '.svg': 'image/svg+xml' }
    for (const name of ['', ...fs.readdirSync(PANEL_DIR)]) {
      const res = await request(stage, `/${name}`)
      assert.equal(res.statusCode, 200, name)
      assert.equal(res.headers['content-type'], types[path.extname(name || 'index.html')], name)
      for (const [key, value] of Object.entries(SECURITY)) assert.equal(res.headers[key], value, `${name}: ${key}`)
    }
    for (const [what, target, options, status] of [
      ['no such file', '/config.ini', {}, 404],
      ['a foreign Host', '/', { headers: { Host: `evil.example:${stage.port}` } }, 403],
      ['a foreign Origin', '/panel.js', { headers: { Origin: 'http://evil.example' } }, 403],
    ]) {
      const res = await request(stage, target, options)
      assert.equal(res.statusCode, status, what)
      for (const [key, value] of Object.entries(SECURITY)) assert.equal(res.headers[key], value, `${what}: ${key}`)
    }
    // In a browser: a page elsewhere cannot connect; the console under a rebound name serves nothing.
    await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve))
    const context = await browser.newContext()
    const elsewhere = await context.newPage()
    await elsewhere.goto(`http://127.0.0.1:${server.address().port}/`)
    await elsewhere.waitForFunction(() => document.title.startsWith('closed'))
    assert.equal(await elsewhere.title(), 'closed 1006')
    await context.close()
    const attacker = await rebound.newPage()
    const answer = await attacker.goto(`http://evil.example:${stage.port}/`)
    assert.equal(answer.status(), 403)
    assert.equal(await attacker.locator('#login').count(), 0)
  } finally {
    await rebound.close()
    server.close()
    await stage.close()
  }
})

test('100,000 items are drawn a screenful at a time, and search finds by name ignoring case', async () => {
  await withPanel({ items: 100000 }, () => ({}), async (stage, page) => {
    await waitTakesOn(page)
    await page.evaluate(() => window.scrollTo(0, document.documentElement.scrollHeight))
    await tile(page, 100000).locator('.name', { hasText: stage.item(100000).name }).waitFor()
    assert.ok((await page.locator('.tile').count()) < 200)
    await page.locator('#search').fill('WEATHER 1234')
    await page.locator('#search-count', { hasText: '2 / 100000' }).waitFor()
    assert.deepEqual(await page.locator('.tile:not([hidden]) .pos').allTextContents(), ['1234', '12346'])
  }, openFake)
})

test('on a phone: one column, nothing cut off, every control 44 px and named', async () => {
  const shots = process.env.OV_SHOTS
  if (shots) await makeShots(browser, shots)
  await withPanel({ items: 30, cues: [1, 2] }, () => ({ device: PHONE }), async (stage, page) => {
    await waitTakesOn(page)
    const layout = await page.evaluate(() => {
      const shown = [...document.querySelectorAll('.tile:not([hidden])')].map((t) => t.getBoundingClientRect())
      const controls = [...document.querySelectorAll('button, summary, input, #order-scroll')].filter((b) => b.offsetParent)
      return {
        lefts: new Set(shown.map((r) => r.left)).size,
        overflow: document.documentElement.scrollWidth - window.innerWidth,
        outside: shown.filter((r) => r.right > window.innerWidth || r.left < 0).length,
        small: controls.filter((b) => b.tagName !== 'INPUT' || b.type !== 'checkbox').filter((b) => b.getBoundingClientRect().height < 44).map((b) => b.id || b.textContent),
        unnamed: controls.filter((b) => b.tagName === 'BUTTON' && !(b.getAttribute('aria-label') || b.textContent.trim())).length,
      }
    })
    assert.deepEqual(layout, { lefts: 1, overflow: 0, outside: 0, small: [], unnamed: 0 })
  })
})

test('from the keyboard: a take with Enter, the focus plain to see', async () => {
  await withPanel({}, () => ({}), async (stage, page) => {
    await waitTakesOn(page)
    await page.locator('#search').focus()
    for (let i = 0; i < 10 && !(await page.evaluate(() => document.activeElement.dataset.act === 'pvw')); i++) await page.keyboard.press('Tab')
    const focus = await page.evaluate(() => getComputedStyle(document.activeElement).outlineStyle)
    assert.notEqual(focus, 'none')
    await page.keyboard.press('Enter')
    await tile(page, 1).and(page.locator('.pvw')).waitFor()
  })
})

test('nonsense from the console is refused and counted; the catalogue\'s events keep the order', async () => {
  await withPanel({ items: 3 }, () => ({}), async (stage, page) => {
    await waitTakesOn(page)
    stage.sendRaw({ type: 'items', offset: 9, total: 20, items: [{ guid: 'x', name: 'x' }] })
    stage.sendRaw({ type: 'items', offset: 0, total: 100001, items: [{ guid: 'x', name: 'x' }] })
    stage.sendRaw('{ not json')
    await page.locator('#ignored', { hasText: '3' }).waitFor({ state: 'attached' })
    // Each step shown before the next: a move alone reorders tiles that all stay drawn.
    const inOrder = () =>
      page.waitForFunction(
        (want) => JSON.stringify([...document.querySelectorAll('.tile:not([hidden]) .name span:last-child')].map((n) => n.textContent)) === want,
        JSON.stringify(stage.items.map((i) => i.name)),
      )
    stage.insert(1, 'Opener')
    await inOrder()
    stage.move(4, 2)
    await inOrder()
    stage.remove(3)
    await inOrder()
  }, openFake)
})

test('every file of the page is compiled into the program', () => {
  const qrc = fs.readFileSync(path.join(PANEL_DIR, '..', 'panel.qrc'), 'utf8')
  const listed = [...qrc.matchAll(/<file>panel\/([^<]+)<\/file>/g)].map((m) => m[1]).sort()
  assert.deepEqual(listed, fs.readdirSync(PANEL_DIR).sort())
})
