// The JavaScript half of the web backend's platform calls. Each hands over
// to the page (page.js, Module.vantrelPage), which owns the canvas, the
// AudioContext and the storage; here only the values cross the boundary.
mergeInto(LibraryManager.library, {
  vantrel_js_now_ms: function() {
    return performance.now();
  },
  vantrel_js_present: function(rgba, width, height) {
    Module.vantrelPage.present(HEAPU8, rgba, width, height);
  },
  vantrel_js_sound_open: function(rate) {
    return Module.vantrelPage.soundOpen(rate);
  },
  vantrel_js_sound_frame: function() {
    return Module.vantrelPage.soundFrame();
  },
  vantrel_js_sound_post: function(start, first, firstFrames, second, secondFrames) {
    Module.vantrelPage.soundPost(start, HEAP16, first >> 1, firstFrames, second >> 1, secondFrames);
  },
  vantrel_js_sound_close: function() {
    Module.vantrelPage.soundClose();
  },
  vantrel_js_store_get: function(key, textOut, bytes) {
    var value = Module.vantrelPage.storeGet(UTF8ToString(key));
    if (value === null) return -1;
    stringToUTF8(value, textOut, bytes);
    return lengthBytesUTF8(value);
  },
  vantrel_js_store_set: function(key, text) {
    return Module.vantrelPage.storeSet(UTF8ToString(key), UTF8ToString(text)) ? 1 : 0;
  },
  vantrel_js_message: function(caption, text) {
    Module.vantrelPage.message(UTF8ToString(caption), UTF8ToString(text));
  },
  vantrel_js_ended: function(how) {
    Module.vantrelPage.ended(how);
  },
  vantrel_js_pad: function(stateOut) {
    var state = Module.vantrelPage.pad();
    if (!state) return 0;
    for (var i = 0; i < 3; i++) HEAP32[(stateOut >> 2) + i] = state[i];
    return 1;
  },
  vantrel_js_note_frame: function(callbackMs, runMs, uploadMs) {
    Module.vantrelPage.noteFrame(callbackMs, runMs, uploadMs);
  },
});
