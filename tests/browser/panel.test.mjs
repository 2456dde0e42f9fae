// The panel page in Debian's Chromium, headless, against lib/stage.mjs (the
// fake console unless OV_PANEL_STAGE names another). OV_SHOTS names the
// folder for the phone's screenshot.

import { test, before, after } from 'node:test'
import assert from 'node:assert/strict'
import fs from 'node:fs'
import path from 'node:path'
import { launch, openPanel, login, waitTakesOn, tile, PHONE } from './lib/browser.mjs'
import { openStage } from './lib/stage.mjs'
import { PANEL_DIR } from './lib/fake-console.mjs'
import { makeShots } from './lib/shots.mjs'

let browser
before(async () => {
  browser = await launch()
})
after(() => browser?.close())

async function withPanel(stageOptions, panelOptions, body) {
  const stage = await openStage(stageOptions)
  const panel = await openPanel(browser, stage.url, { token: stage.token, ...panelOptions(stage) })
  try {
    await body(stage, panel.page, panel)
  } finally {
    await panel.close().finally(() => stage.close())
  }
}

const takeButton = (page, position, act) => tile(page, position).locator(`button[data-act=${act}]`)
const stored = (page) => page.evaluate(() => [sessionStorage.getItem('ovpanel.token'), localStorage.getItem('ovpanel.token')])

test('the token page: a wrong token is refused, the right one kept in the tab unless remembered', async () => {
  await withPanel({}, () => ({ token: undefined }), async (stage, page, panel) => {
    await login(page, 'not-the-token')
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
    stage.setStatus(2, 1)
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
    assert.equal(stage.item(3).status, 0)
  })
})

test('a PGM click reaches the console, and the tile turns red only on the server\'s confirmation', async () => {
  await withPanel({}, () => ({}), async (stage, page) => {
    await waitTakesOn(page)
    stage.holdConfirms = true
    await takeButton(page, 2, 'pgm').click()
    await stage.waitFor((c) => c.cmd === 'pgm' && c.item === stage.item(2).guid, 'the PGM take')
    await tile(page, 2).locator('.sending:not(:empty)').waitFor()
    assert.equal(await tile(page, 2).and(page.locator('.pgm')).count(), 0)
    stage.release()
    await tile(page, 2).and(page.locator('.pgm')).waitFor()
    stage.setStatus(3, 2)
    await tile(page, 3).and(page.locator('.pvw')).waitFor()
  })
})

test('the lock from the console turns the takes off; GO from the page takes the next cue', async () => {
  await withPanel({}, () => ({}), async (stage, page) => {
    stage.setCues([4, 6])
    await waitTakesOn(page)
    stage.setLocked(true)
    await page.locator('#lock-state').waitFor()
    await page.waitForFunction(() => [...document.querySelectorAll('.tile:not([hidden]) .take, #go, #clearall')].every((b) => b.getAttribute('aria-disabled') === 'true'))
    await page.locator('#lock').click()
    await stage.waitFor((c) => c.cmd === 'unlock', 'the unlock')
    await waitTakesOn(page)
    await page.locator('#go').click()
    await stage.waitFor((c) => c.cmd === 'go', 'GO')
    await tile(page, 4).and(page.locator('.pgm')).waitFor()
    await page.locator('#next-name', { hasText: stage.item(6).name }).waitFor()
  })
})

test('the console restarted: the page tells the age of what it shows, reconnects, and takes nothing until the fresh state', async (t) => {
  await withPanel({}, () => ({}), async (stage, page) => {
    if (!stage.fake) return t.skip('needs the fake console to hold the state back')
    await waitTakesOn(page)
    await stage.stop()
    await page.locator('#stale', { hasText: '前的状态' }).waitFor()
    assert.equal(await page.locator('.tile .take[aria-disabled="false"]').count(), 0)
    stage.holdState = true
    await stage.start()
    await page.waitForFunction(() => document.querySelector('#rtt').textContent !== '')
    assert.equal(await page.locator('#stale').isVisible(), true)
    assert.equal(await page.locator('.tile .take[aria-disabled="false"]').count(), 0)
    stage.release()
    await waitTakesOn(page)
    assert.equal(await page.locator('#stale').isVisible(), false)
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

test('100,000 items are drawn a screenful at a time, and search finds by name ignoring case', async () => {
  await withPanel({ items: 100000 }, () => ({}), async (stage, page) => {
    await waitTakesOn(page)
    await page.evaluate(() => window.scrollTo(0, document.documentElement.scrollHeight))
    await tile(page, 100000).locator('.name', { hasText: stage.item(100000).name }).waitFor()
    assert.ok((await page.locator('.tile').count()) < 200)
    await page.locator('#search').fill('WEATHER 1234')
    await page.locator('#search-count', { hasText: '2 / 100000' }).waitFor()
    assert.deepEqual(await page.locator('.tile:not([hidden]) .pos').allTextContents(), ['1234', '12346'])
  })
})

test('on a phone: one column, nothing cut off, every control 44 px and named', async () => {
  const shots = process.env.OV_SHOTS
  if (shots) await makeShots(browser, shots)
  await withPanel({ items: 30 }, () => ({ device: PHONE }), async (stage, page) => {
    stage.setCues([1, 2])
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

test('nonsense from the console is refused and counted; the catalogue\'s events keep the order', async (t) => {
  await withPanel({ items: 3 }, () => ({}), async (stage, page) => {
    if (!stage.fake) return t.skip('sends what no console sends')
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
  })
})

test('every file of the page is compiled into the program', () => {
  const qrc = fs.readFileSync(path.join(PANEL_DIR, '..', 'panel.qrc'), 'utf8')
  const listed = [...qrc.matchAll(/<file>panel\/([^<]+)<\/file>/g)].map((m) => m[1]).sort()
  assert.deepEqual(listed, fs.readdirSync(PANEL_DIR).sort())
})
