// The page around the game: it downloads packed.dat with a progress bar,
// waits for the player's first click or key (browsers allow sound only after
// one), then starts the game and serves its platform calls: the canvas, the
// sound through Web Audio, localStorage, keys and pads, and the pages shown
// for a fatal message or the end of the game. Runs before the module.
(function () {
  'use strict';
  var config = Module.vantrelConfig || {};
  var page = (Module.vantrelPage = {});
  var byId = function (id) { return document.getElementById(id); };

  var END_QUIT = 0, END_FINISHED = 1, END_FATAL = 2;
  // Keys whose browser default scrolls the page: Space, Page Up/Down, End,
  // Home and the arrows.
  var SCROLL_KEYS = [32, 33, 34, 35, 36, 37, 38, 39, 40];
  var SOUND_RATE = 44100;
  // How far the device runs ahead of the audio clock. The game commits sound
  // once an animation frame (16.7 ms = 735 frames at 60 Hz); the lead covers
  // that and a late frame. A ScriptProcessor asks for its blocks ahead of
  // time as well, so it needs a longer lead.
  var WORKLET_AHEAD = 2048, SCRIPT_AHEAD = 4096, SCRIPT_BLOCK = 1024;
  var RING_FRAMES = 16384;  // > every lead, a power of two

  var state = {
    wasm: false, data: null, dataFailed: false, started: false, ended: false,
    clickAt: 0, firstFrameAt: 0, held: {},
  };
  var stats = { callback: [], run: [], upload: [] };
  var STATS_LIMIT = 100000;

  Module.noInitialRun = true;
  Module.locateFile = function (path) {
    return /\.wasm$/.test(path) && config.wasm ? config.wasm : path;
  };
  Module.print = function (text) { console.log(text); };
  Module.printErr = function (text) { console.warn(text); };
  // The module is built for WebAssembly with 128-bit SIMD; a browser that
  // cannot compile it aborts before the game starts. Say so instead of
  // leaving the loading bar up for good.
  Module.onAbort = function () {
    if (state.started) return;
    page.message('ERROR', 'This browser cannot run the game (it needs WebAssembly with SIMD).');
    page.ended(END_FATAL);
  };

  function show(id, visible) {
    var el = byId(id);
    if (el) el.hidden = !visible;
  }
  function setText(id, text) {
    var el = byId(id);
    if (el) el.textContent = text;
  }

  // ---- packed.dat -------------------------------------------------------
  function megabytes(bytes) { return (bytes / 1048576).toFixed(1); }

  function progress(got, total) {
    var bar = byId('progress');
    if (bar && total > 0) { bar.max = total; bar.value = got; }
    setText('progress-text', total > 0 ? 'Loading ' + megabytes(got) + ' of ' + megabytes(total) + ' MB'
                                       : 'Loading ' + megabytes(got) + ' MB');
  }

  function download() {
    fetch(config.data || 'packed.dat').then(function (response) {
      if (!response.ok || !response.body) throw new Error('HTTP ' + response.status);
      // A host that compresses on the fly reports the compressed length.
      var total = response.headers.get('Content-Encoding') ? 0 : +response.headers.get('Content-Length') || 0;
      var reader = response.body.getReader(), chunks = [], got = 0;
      function pump() {
        return reader.read().then(function (part) {
          if (part.done) return;
          chunks.push(part.value);
          got += part.value.length;
          progress(got, total);
          return pump();
        });
      }
      return pump().then(function () {
        var bytes = new Uint8Array(got), at = 0;
        chunks.forEach(function (c) { bytes.set(c, at); at += c.length; });
        return bytes;
      });
    }).then(function (bytes) {
      state.data = bytes;
      ready();
    }, function () {
      state.dataFailed = true;
      ready();
    });
  }

  Module.onRuntimeInitialized = function () {
    state.wasm = true;
    ready();
  };

  function ready() {
    if (!state.wasm || (!state.data && !state.dataFailed)) return;
    show('loading', false);
    if (state.dataFailed) {
      // The game's own message for a data file that is not there.
      page.message('ERROR', "Couldn't find data file");
      page.ended(END_FATAL);
      return;
    }
    show('start', true);
    var button = byId('play');
    if (button) button.focus();
  }

  // ---- starting ---------------------------------------------------------
  function start() {
    if (state.started || !state.wasm || !state.data) return;
    state.started = true;
    state.clickAt = performance.now();
    show('start', false);
    show('game', true);
    audioCreate();  // inside the gesture, so that it may play
    audioPrepare().then(function () {
      FS.writeFile('/packed.dat', state.data);
      state.data = null;
      Module.callMain(options());
      // The game has read its archive whole; the file's copy is not needed.
      try { FS.unlink('/packed.dat'); } catch (e) { /* already gone */ }
    });
  }

  // The game's options from the address: index.html?-sound or ?+cheat+25
  // (the game looks for each option as a piece of its command line).
  function options() {
    var text = location.search.slice(1);
    try { text = decodeURIComponent(text); } catch (e) { /* kept as it is */ }
    return text ? [text] : [];
  }

  // ---- canvas -----------------------------------------------------------
  var canvas = null, context = null;
  page.present = function (heap, pointer, width, height) {
    if (!context) {
      canvas = byId('canvas');
      context = canvas.getContext('2d', { alpha: false });
    }
    if (canvas.width !== width || canvas.height !== height) {
      canvas.width = width;
      canvas.height = height;
    }
    context.putImageData(new ImageData(new Uint8ClampedArray(heap.buffer, pointer, width * height * 4),
                                       width, height), 0, 0);
    if (!state.firstFrameAt) state.firstFrameAt = performance.now();
  };

  // ---- sound ------------------------------------------------------------
  // The worklet keeps a ring of sound by audio-clock frame: each delivery is
  // written where it belongs, each played frame is cleared, so a delivery
  // that comes late loses only the frames already past.
  var WORKLET_SOURCE = [
    'class VantrelSound extends AudioWorkletProcessor {',
    '  constructor() {',
    '    super();',
    '    this.left = new Float32Array(' + RING_FRAMES + ');',
    '    this.right = new Float32Array(' + RING_FRAMES + ');',
    '    this.played = 0; this.loud = 0; this.peak = 0; this.reported = 0;',
    '    this.port.onmessage = (e) => this.take(e.data.start, e.data.left, e.data.right);',
    '  }',
    '  take(start, left, right) {',
    '    for (let i = 0; i < left.length; i++) {',
    '      const f = start + i;',
    '      if (f < currentFrame) continue;',
    '      if (f >= currentFrame + ' + RING_FRAMES + ') break;',
    '      this.left[f % ' + RING_FRAMES + '] = left[i];',
    '      this.right[f % ' + RING_FRAMES + '] = right[i];',
    '    }',
    '  }',
    '  process(inputs, outputs) {',
    '    const out = outputs[0], l = out[0], r = out[1] || out[0];',
    '    for (let i = 0; i < l.length; i++) {',
    '      const k = (currentFrame + i) % ' + RING_FRAMES + ';',
    '      const a = this.left[k], b = this.right[k];',
    '      this.left[k] = 0; this.right[k] = 0;',
    '      l[i] = a; r[i] = b;',
    '      const m = Math.max(Math.abs(a), Math.abs(b));',
    '      if (m > 0) this.loud++;',
    '      if (m > this.peak) this.peak = m;',
    '    }',
    '    this.played += l.length;',
    '    if (this.played - this.reported >= 4410) {',
    '      this.reported = this.played;',
    '      this.port.postMessage({ played: this.played, loud: this.loud, peak: this.peak });',
    '    }',
    '    return true;',
    '  }',
    '}',
    "registerProcessor('vantrel-sound', VantrelSound);",
  ].join('\n');

  var audio = { context: null, node: null, ahead: 0, kind: 'none', played: 0, loud: 0, peak: 0,
                left: null, right: null };

  function audioCreate() {
    var Context = window.AudioContext || window.webkitAudioContext;
    if (!Context) return;
    try {
      audio.context = new Context({ sampleRate: SOUND_RATE, latencyHint: 'interactive' });
    } catch (e) {
      audio.context = null;
    }
  }

  function audioPrepare() {
    var ctx = audio.context;
    if (!ctx || ctx.sampleRate !== SOUND_RATE) return Promise.resolve();
    if (ctx.audioWorklet && window.AudioWorkletNode) {
      var url = URL.createObjectURL(new Blob([WORKLET_SOURCE], { type: 'application/javascript' }));
      return ctx.audioWorklet.addModule(url).then(function () {
        URL.revokeObjectURL(url);
        audio.node = new AudioWorkletNode(ctx, 'vantrel-sound',
                                          { numberOfInputs: 0, outputChannelCount: [2] });
        audio.node.port.onmessage = function (e) {
          audio.played = e.data.played;
          audio.loud = e.data.loud;
          audio.peak = e.data.peak;
        };
        audio.node.connect(ctx.destination);
        audio.ahead = WORKLET_AHEAD;
        audio.kind = 'worklet';
      }, scriptProcessor);
    }
    scriptProcessor();
    return Promise.resolve();
  }

  // Where there is no AudioWorklet (an insecure origin, an old browser) the
  // same ring is played from the page's own thread.
  function scriptProcessor() {
    var ctx = audio.context;
    if (!ctx.createScriptProcessor) return;
    audio.left = new Float32Array(RING_FRAMES);
    audio.right = new Float32Array(RING_FRAMES);
    var node = ctx.createScriptProcessor(SCRIPT_BLOCK, 0, 2);
    node.onaudioprocess = function (e) {
      var l = e.outputBuffer.getChannelData(0), r = e.outputBuffer.getChannelData(1);
      var first = Math.round(e.playbackTime * SOUND_RATE);
      for (var i = 0; i < l.length; i++) {
        var k = (first + i) % RING_FRAMES;
        var a = audio.left[k], b = audio.right[k];
        audio.left[k] = 0; audio.right[k] = 0;
        l[i] = a; r[i] = b;
        var m = Math.max(Math.abs(a), Math.abs(b));
        if (m > 0) audio.loud++;
        if (m > audio.peak) audio.peak = m;
      }
      audio.played += l.length;
    };
    node.connect(ctx.destination);
    audio.node = node;
    audio.ahead = SCRIPT_AHEAD;
    audio.kind = 'script';
  }

  page.soundOpen = function (rate) {
    return audio.context && audio.node && rate === audio.context.sampleRate ? audio.ahead : 0;
  };
  page.soundFrame = function () {
    return audio.context ? Math.round(audio.context.currentTime * SOUND_RATE) : 0;
  };
  page.soundPost = function (start, heap16, first, firstFrames, second, secondFrames) {
    var count = firstFrames + secondFrames;
    var left = new Float32Array(count), right = new Float32Array(count);
    for (var i = 0; i < count; i++) {
      var at = i < firstFrames ? first + 2 * i : second + 2 * (i - firstFrames);
      left[i] = heap16[at] / 32768;
      right[i] = heap16[at + 1] / 32768;
    }
    if (audio.kind === 'worklet') {
      audio.node.port.postMessage({ start: start, left: left, right: right }, [left.buffer, right.buffer]);
    } else if (audio.kind === 'script') {
      var now = page.soundFrame();
      for (var j = 0; j < count; j++) {
        var f = start + j;
        if (f < now || f >= now + RING_FRAMES) continue;
        audio.left[f % RING_FRAMES] = left[j];
        audio.right[f % RING_FRAMES] = right[j];
      }
    }
  };
  page.soundClose = function () {
    if (!audio.context) return;
    var ctx = audio.context;
    // Let what was delivered play out before the context goes.
    setTimeout(function () { ctx.close(); }, 500);
    audio.node = null;
  };

  // ---- storage ----------------------------------------------------------
  // localStorage can be missing or refuse (private windows, full quota): the
  // game then simply has no save, as with an unwritable registry.
  page.storeGet = function (key) {
    try { return window.localStorage.getItem(key); } catch (e) { return null; }
  };
  page.storeSet = function (key, value) {
    try { window.localStorage.setItem(key, value); return true; } catch (e) { return false; }
  };

  // ---- messages and the end ---------------------------------------------
  page.message = function (caption, text) {
    setText('message-caption', caption);
    setText('message-text', text);
    show('message', true);
  };

  page.ended = function (how) {
    if (state.ended) return;
    state.ended = true;
    show('loading', false);
    show('start', false);
    if (how === END_FATAL) {
      show('game', false);
      show('message-again', true);
      return;
    }
    setText('end-text', how === END_FINISHED ? 'You walked out of the last room. The end.'
                                              : 'You left the game.');
    show('end', true);
    var again = byId('again');
    if (again) again.focus();
  };

  // ---- keys, pads and visibility ----------------------------------------
  function keyDown(e) {
    if (!state.started) {
      if (e.key === 'Enter' || e.key === ' ') {
        e.preventDefault();
        start();
      }
      return;
    }
    if (state.ended || e.ctrlKey || e.metaKey) return;
    var key = e.keyCode | 0;
    if (SCROLL_KEYS.indexOf(key) >= 0) e.preventDefault();
    state.held[key] = true;
    Module._web_key_event(1, e.altKey ? 1 : 0, key);
  }

  function keyUp(e) {
    if (!state.started || state.ended) return;
    var key = e.keyCode | 0;
    if (SCROLL_KEYS.indexOf(key) >= 0) e.preventDefault();
    delete state.held[key];
    Module._web_key_event(0, e.altKey ? 1 : 0, key);
  }

  // Keys released while the page had no focus would stay held for good.
  function releaseAll() {
    if (!state.started || state.ended) return;
    Object.keys(state.held).forEach(function (key) { Module._web_key_event(0, 0, +key); });
    state.held = {};
  }

  page.pad = function () {
    var pads = navigator.getGamepads ? navigator.getGamepads() : [];
    var buttons = 0, x = 0, y = 0, any = false;
    var pressed = function (pad, i) { return pad.buttons[i] && pad.buttons[i].pressed; };
    for (var i = 0; pads && i < pads.length; i++) {
      var pad = pads[i];
      if (!pad || !pad.connected) continue;
      any = true;
      // The standard mapping: 12-15 the d-pad, 0 the south button, 9 Start, 8 Back.
      if (pressed(pad, 12)) buttons |= 1;
      if (pressed(pad, 13)) buttons |= 2;
      if (pressed(pad, 14)) buttons |= 4;
      if (pressed(pad, 15)) buttons |= 8;
      if (pressed(pad, 0)) buttons |= 16;
      if (pressed(pad, 9)) buttons |= 32;
      if (pressed(pad, 8)) buttons |= 64;
      var ax = Math.round((pad.axes[0] || 0) * 32767), ay = Math.round((pad.axes[1] || 0) * 32767);
      if (Math.abs(ax) > Math.abs(x)) x = ax;
      if (Math.abs(ay) > Math.abs(y)) y = ay;
    }
    return any ? [buttons, x, y] : null;
  };

  function visibility() {
    if (!state.started || state.ended) return;
    var hidden = document.visibilityState === 'hidden';
    Module._web_activate(hidden ? 0 : 1);
    if (audio.context) {
      if (hidden) audio.context.suspend(); else audio.context.resume();
    }
  }

  // A context that a browser kept suspended starts at the next gesture.
  function resumeOnGesture() {
    if (audio.context && audio.context.state === 'suspended' && document.visibilityState !== 'hidden')
      audio.context.resume();
  }

  // ---- for tests and the budget script ----------------------------------
  page.noteFrame = function (callbackMs, runMs, uploadMs) {
    if (stats.callback.length >= STATS_LIMIT) return;
    stats.callback.push(callbackMs);
    stats.run.push(runMs);
    stats.upload.push(uploadMs);
  };
  Module.vantrelQuery = function () {
    if (!state.started) return null;
    return { gameState: Module._web_query(0), room: Module._web_query(1),
             x: Module._web_query(2), y: Module._web_query(3), sound: Module._web_query(4),
             inactive: Module._web_query(5) };
  };
  Module.vantrelAudio = function () {
    return { state: audio.context ? audio.context.state : 'none', kind: audio.kind,
             played: audio.played, loud: audio.loud, peak: audio.peak };
  };
  Module.vantrelStats = function () {
    return { callback: stats.callback.slice(), run: stats.run.slice(), upload: stats.upload.slice(),
             firstFrameMs: state.firstFrameAt ? state.firstFrameAt - state.clickAt : null,
             wasmBytes: Module.HEAPU8 ? Module.HEAPU8.buffer.byteLength : 0 };
  };

  function wire() {
    var play = byId('play');
    if (play) play.addEventListener('click', start);
    var again = byId('again'), messageAgain = byId('message-again');
    [again, messageAgain].forEach(function (b) {
      if (b) b.addEventListener('click', function () { location.reload(); });
    });
    var full = byId('fullscreen');
    if (full) full.addEventListener('click', function () {
      var box = byId('game');
      if (document.fullscreenElement) document.exitFullscreen();
      else if (box.requestFullscreen) box.requestFullscreen();
    });
    window.addEventListener('keydown', keyDown);
    window.addEventListener('keyup', keyUp);
    window.addEventListener('blur', releaseAll);
    document.addEventListener('visibilitychange', visibility);
    window.addEventListener('pointerdown', resumeOnGesture);
    window.addEventListener('keydown', resumeOnGesture);
  }

  if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', wire);
  else wire();
  download();
})();
