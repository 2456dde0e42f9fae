// What the panel's tests run against: the page's address, the two tokens, and
// the controls of the console and its CG server. By default the fake console
// (lib/fake-console.mjs); OV_PANEL_STAGE names another module exporting
// openStage(options) with the same controls, such as lib/console-stage.mjs,
// which runs the real console with the simulator behind it. Tests that need
// more than these controls open the fake with openFake().
//
// Options: items (how many), language ('en'), cues (the positions of the
// running order, read by the console when it logs in) and next (1-based).
// Controls: url, token, viewToken, fake, close(), stop() and start() (the
// console quits and comes back, logged in again), hold() and release() (the
// server holds its answers to takes back, then gives them), holdState
// (settable on the fake alone: hold what the console sends after an
// authentication; release() sends it), setStatus(position, status) and
// rename(position, name) at the server, setLocked(bool) and
// setCurrent(position) at the console, item(position) -> { guid, name },
// status(position) (async: as the server has it), commands (the takes that
// reached the server, { cmd, item }; the fake adds seat and role and every
// other command), waitFor(test, what), log() (the console's log lines; the
// real console's alone).

import { FakeConsole } from './fake-console.mjs'

export async function openStage(options = {}) {
  if (process.env.OV_PANEL_STAGE) {
    const other = await import(process.env.OV_PANEL_STAGE)
    return other.openStage(options)
  }
  return openFake(options)
}

export async function openFake(options = {}) {
  const fake = await new FakeConsole(options).start()
  return Object.assign(fake, {
    fake: true,
    close: () => fake.stop(),
    hold: async () => {
      fake.holdConfirms = true
    },
    status: async (position) => fake.item(position).status,
    log: () => [],
  })
}
