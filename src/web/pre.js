// Runs before the program: the page's hooks, and the lab's image files fetched into the
// program's file system at the same data/... paths. A file the server does not deliver
// stops the page with the server's answer; the reader reports the files that are there.
Module.canvas = document.getElementById('lab');
Module.labErrors = [];
Module.print = function (text) { console.log(text); };
Module.printErr = function (text) { Module.labErrors.push(text); console.warn(text); };

// In place of the canvas (and the controls under it), the page says why the lab stopped.
// After a Quit, the page's Start again button takes the focus the canvas had.
function labStop(text, kind) {
  var message = document.getElementById('message');
  if (message) {
    message.textContent = text;
    message.className = kind;
  }
  document.body.classList.add('lab-stopped');
  var restart = document.getElementById('restart');
  if (restart && kind === 'ended') {
    restart.hidden = false;
    restart.focus();
  }
}

// Opened from disk, the page may fetch neither the program nor the images: it says how to
// serve it instead, and loads nothing (a program that never arrives never runs).
if (location.protocol === 'file:') {
  Module.labEnded = 1;
  Module.instantiateWasm = function () { return {}; };
  labStop('The lab must be served by a web server: opened as a file, this page may not load the ' +
    'lab\'s program and images. Run ./lab web in the project\'s folder and open the address it ' +
    'prints, or serve the folder build-web/site/ with any static web server (for example, ' +
    'python3 -m http.server in that folder) and open its address.', 'missing');
}

// ---- Files the server does not deliver: the site's host is told which, what the server
// answered and what to upload, rather than the visitor's browser being blamed.

// The program sits beside this script, whose address can be read only while it runs.
var labScriptUrl = document.currentScript ? document.currentScript.src.replace(/[?#].*$/, '') : '';
var labProgramUrl = labScriptUrl ? labScriptUrl.replace(/\.js$/, '.wasm') : 'ostrel-lab.wasm';
var labProgramName = labProgramUrl.split('/').pop();
var labImagesFetched = null;  // once preRun has asked: a promise of [{name, bytes or refused}]
var labProgramFailures = [];  // each program file that came but did not start: [{name, error}]
// Every file of the site, as its build lists them (cmake/web-site.cmake writes them in here).
var labSiteFiles = [];

// Over HTTP/2 a response carries no status text: these are the answers a host meets.
var LAB_STATUS_TEXTS = { 401: 'Unauthorized', 403: 'Forbidden', 404: 'Not Found', 410: 'Gone',
  500: 'Internal Server Error', 502: 'Bad Gateway', 503: 'Service Unavailable' };
var LAB_NO_ANSWER = 'no answer (the connection failed)';

// The server's answer when it did not deliver the file ("404 Not Found"), or null. A web
// page in place of a file is a host's page for files it does not have.
function labRefusal(response) {
  var answer = (response.status + ' ' + (response.statusText || LAB_STATUS_TEXTS[response.status] || '')).trim();
  if (!response.ok) return answer;
  var type = (response.headers.get('Content-Type') || '').split(';')[0].trim().toLowerCase();
  return type === 'text/html' ? answer + ', but a web page (text/html) in place of the file' : null;
}

// Every file of the site the server did not deliver, the program first, as [{name, refused}].
// A program file that came but is another build's than this script (a LinkError: an old
// ostrel-lab.wasm.gz left on the host) is one too.
function labSiteRefusals() {
  var program = fetch(labProgramUrl, { cache: 'no-store' }).then(labRefusal, function () { return LAB_NO_ANSWER; });
  return Promise.all([program, labImagesFetched || []]).then(function (answers) {
    var refused = answers[1].filter(function (file) { return file.refused; });
    labProgramFailures.slice().reverse().forEach(function (failed) {
      if (failed.error instanceof WebAssembly.LinkError) {
        refused.unshift({ name: failed.name, refused: 'another build of the lab than ostrel-lab.js (' + failed.error + ')' });
      }
    });
    if (answers[0]) refused.unshift({ name: labProgramName, refused: answers[0] });
    return refused;
  });
}

// The site's files as the build made them: those at its top, then each folder's.
function labSiteList() {
  var top = [], folders = {};
  labSiteFiles.forEach(function (file) {
    var slash = file.lastIndexOf('/');
    if (slash < 0) return void top.push(file);
    var folder = file.slice(0, slash + 1);
    (folders[folder] = folders[folder] || []).push(file.slice(slash + 1));
  });
  return top.concat(Object.keys(folders).map(function (folder) {
    return 'the ' + folder + ' folder with ' + folders[folder].join(', ');
  })).join(', ');
}

function labSiteIncomplete(refused) {
  var down = labServerDown(refused);
  if (down) return down;
  return 'This site is incomplete: the server did not deliver ' + (refused.length > 1 ? 'these files' : 'this file') +
    ' of the lab:\n' + refused.map(function (file) { return file.name + ': ' + file.refused; }).join('\n') +
    '\n\nTo whoever put the lab on this site: upload the whole site/ folder that ./lab web builds ' +
    '(build-web/site/: ' + labSiteList() + ') as it is, then reload this page.';
}

// Files that got no answer, or a failing server's (5xx), say nothing of the site: the visitor
// is told to come back, not the host to upload it. The service worker, had it kept the lab,
// would have answered them.
function labServerDown(refused) {
  var silent = refused.some(function (file) { return file.refused === LAB_NO_ANSWER; });
  if (!silent && !refused.every(function (file) { return /^5\d\d\b/.test(file.refused); })) return null;
  return 'The lab could not be loaded: ' + (silent ? 'its server gave no answer (this device may be offline)'
    : 'its server is failing (' + refused[0].refused + ')') + ', and this browser has kept no copy of it. ' +
    'Reload the page once the connection or the server is back.';
}

// What a failure other than the lab's own exit() means to a visitor, and what they can do.
function labFailure(error) {
  var details = '\n\n(Details: ' + (error && error.message || error) + ')';
  if (typeof WebAssembly !== 'object') {
    return 'The lab is a WebAssembly program, and this browser does not run WebAssembly: open the page in ' +
      'another, up-to-date browser, such as a recent Firefox, Chrome, Edge or Safari.' + details;
  }
  if (!Module.labRuntimeReady) {
    var files = labProgramFailures.map(function (failed) { return failed.name; }).join(', ') || labProgramName;
    return 'The lab\'s program (' + files + ') could not be started. Reload the page; if that does ' +
      'not help, this browser may not run it: try another, up-to-date browser.' + details;
  }
  // A canvas that has no context yet is given one now if the browser can: asking is the test.
  if (Module.canvas && !Module.canvas.getContext('webgl2')) {
    return 'The lab draws with WebGL 2, and this browser does not give it to the page. Turn on ' +
      'hardware (graphics) acceleration in the browser\'s settings, or open the page in another ' +
      'browser, such as a recent Firefox, Chrome, Edge or Safari.' + details;
  }
  return 'The lab stopped because of an error in this browser. Reload the page to start it again; ' +
    'if it stops again, try another browser.' + details;
}

Module.onRuntimeInitialized = function () { Module.labRuntimeReady = true; };

// How the lab ended: exit()'s status, or the error none caught. Only the first ending
// counts. An unreadable image's message is the reader's own, as the native program prints it.
Module.labEnd = function (status, error) {
  if (Module.labEnded !== undefined) return;
  Module.labEnded = status;
  if (status === 0) labStop('The lab has ended.', 'ended');
  else if (!error || error.name === 'ExitStatus') labStop(Module.labErrors.join('\n'), 'failed');
  else labStop(labFailure(error), 'missing');
};

// exit() from anywhere in the program: in main(), a frame or an event.
Module.onExit = function (status) { Module.labEnd(status); };

// An error none caught, in main(), a frame or an event, reaches the browser. Only the lab's
// own stop it: thrown in this script (the page's code is in it) or in the program. A script
// the site's host adds (analytics, a cookie banner) may fail on its own, and the lab goes on.
// The program's frames may be all a stack holds (V8 keeps ten), each engine naming them its
// own way but all with "wasm-function[": V8 "wasm://wasm/0007…:wasm-function[401]", Firefox
// "…/ostrel-lab.js line 1 > WebAssembly.instantiate:wasm-function[401]", JavaScriptCore
// "<?>:wasm-function[401]" before WebKitGTK 2.52 and "401@wasm-function[401]" since. The
// lab's program is the page's only WebAssembly. Firefox names the script as "ostrel-lab.js
// line 1" where the others say "ostrel-lab.js:1".
var LAB_WASM_FRAME = /\bwasm-function\[/;
function labOwnLine(where) {
  where = where && where.replace(/[?#][^:\s()]*(?=[:\s])/g, '');  // the script's query (?v=, the build) left out
  return !!where && (LAB_WASM_FRAME.test(where) || [labScriptUrl, labProgramUrl].some(function (url) {
    return url && (where.indexOf(url + ':') >= 0 || where.indexOf(url + ' line ') >= 0);
  }));
}
window.addEventListener('error', function (e) {
  if (labOwnLine(e.filename && e.filename.replace(/[?#].*$/, '') + ':') || labOwnLine(e.error && String(e.error.stack))) {
    Module.labEnd(1, e.error || e.message);
  }
});
// A rejection has no place of its own: the lab's come with its lines in their stack.
window.addEventListener('unhandledrejection', function (e) {
  if (labOwnLine(String(e.reason && e.reason.stack))) Module.labEnd(1, e.reason);
});

// The WebGL context is made while the program and images download, in a task of its own:
// making it is long in some browsers. The program asks for it later and gets the same one.
if (location.protocol !== 'file:') {
  setTimeout(function () { if (Module.labEnded === undefined) Module.canvas.getContext('webgl2', LabGL.contextAttributes); });
}

// The program travels gzip-compressed too (ostrel-lab.wasm.gz), as the images do. A browser
// without DecompressionStream takes the .wasm as emscripten would; so does one whose .gz does
// not come, does not inflate or does not start (an old build's .gz left on the host: a
// LinkError, said on the console). A program that cannot start is emscripten's abort().
if (location.protocol !== 'file:' && typeof DecompressionStream === 'function' && typeof WebAssembly === 'object') {
  Module.instantiateWasm = function (imports, receive) {
    var start = function (name, bytes) {
      return WebAssembly.instantiate(bytes, imports).catch(function (error) {
        labProgramFailures.push({ name: name, error: error });
        throw error;
      });
    };
    var whole = function () {
      return fetch(labProgramUrl, { credentials: 'same-origin' }).then(function (response) { return response.arrayBuffer(); })
        .then(function (bytes) { return start(labProgramName, bytes); });
    };
    labFetchGzipped(labProgramUrl).then(function (bytes) { return start(labProgramName + '.gz', bytes); }).catch(whole)
      .then(function (result) {
        labProgramFailures.forEach(function (failed) {
          console.warn('The lab runs ' + labProgramName + ': ' + failed.name + ' did not start (' + failed.error + ')');
        });
        receive(result.instance, result.module);
      }, abort);
    return {};
  };
}

// Once the lab is in view, in a task after the first frame's, the site is kept for a visit
// without network (sw.js). The page stays an ordinary page where the browser keeps nothing:
// file://, or an address that is not secure (a phone's view of ./lab web --host 0.0.0.0).
Module.labFirstFrame = function () {
  labRevalidate();
  if (!labScriptUrl || !window.isSecureContext || !('serviceWorker' in navigator)) return;
  setTimeout(function () {
    navigator.serviceWorker.register(labScriptUrl.replace(/[^/]*$/, 'sw.js')).catch(function (e) {
      console.warn('The lab will not be kept for use without network: ' + e.message);
    });
  });
};

// Without a worker to revalidate them, the files the browser took from its cache unasked
// (a stock server sends no Cache-Control, and a file weeks old is guessed fresh for days) are
// asked for again once the lab is in view: what changed on the server is what the next visit
// takes. An unchanged file costs a 304.
function labRevalidate() {
  if (!window.performance || !performance.getEntriesByType || (navigator.serviceWorker && navigator.serviceWorker.controller)) return;
  var folder = location.href.replace(/[?#].*$/, '').replace(/[^/]*$/, '');
  var asked = {};
  performance.getEntriesByType('resource').forEach(function (entry) {
    if (entry.transferSize !== 0 || !entry.decodedBodySize || entry.name.indexOf(folder) !== 0 || asked[entry.name]) return;
    asked[entry.name] = fetch(entry.name, { cache: 'no-cache', credentials: 'same-origin' }).catch(function () {});
  });
}

// A .wasm that does not load or compile, or the program's own abort(). Before the program
// runs, the server is asked again what it answers for the site's files.
Module.onAbort = function (what) {
  if (Module.labEnded !== undefined) return;
  Module.labEnded = 1;
  if (Module.labRuntimeReady || typeof WebAssembly !== 'object') return labStop(labFailure(what), 'missing');
  labSiteRefusals().then(function (refused) {
    labStop(refused.length ? labSiteIncomplete(refused) : labFailure(what), 'missing');
  });
};

// Each image travels gzip-compressed too (data/NAME.tga.gz), an eighth of its size: few hosts
// compress such files themselves. The page inflates it with the browser's DecompressionStream;
// a browser without one, or a .gz that does not come or does not inflate, takes the .tga.
// A host that sends the .gz with Content-Encoding: gzip hands over the TGA bytes inflated
// already: a gzip stream starts with 1f 8b, which no TGA file can (its second byte, the
// colour map type, is 0 or 1).
var LAB_GZIP_MAGIC = [0x1f, 0x8b];

function labInflated(bytes) {
  var start = new Uint8Array(bytes, 0, Math.min(2, bytes.byteLength));
  if (start[0] !== LAB_GZIP_MAGIC[0] || start[1] !== LAB_GZIP_MAGIC[1]) return bytes;
  return new Response(new Blob([bytes]).stream().pipeThrough(new DecompressionStream('gzip'))).arrayBuffer();
}

// URL's bytes from URL.gz, inflated; a refusal or a failure rejects, for the caller's plain fetch.
function labFetchGzipped(url) {
  return fetch(url + '.gz', { credentials: 'same-origin' }).then(function (response) {
    var answer = labRefusal(response);
    if (answer) throw new Error(url + '.gz: ' + answer);
    return response.arrayBuffer().then(labInflated);
  });
}

function labFetchImage(name) {
  var refused = function (answer) { return { name: name, refused: answer }; };
  var whole = function () {
    return fetch(name).then(function (response) {
      var answer = labRefusal(response);
      return answer ? refused(answer) : response.arrayBuffer().then(function (bytes) { return { name: name, bytes: bytes }; },
                                                                    function () { return refused(LAB_NO_ANSWER); });
    }, function () { return refused(LAB_NO_ANSWER); });
  };
  if (typeof DecompressionStream !== 'function') return whole();
  return labFetchGzipped(name).then(function (bytes) { return { name: name, bytes: bytes }; }, whole);
}

// The fetches start as the script runs, beside the program's (index.html preloads them all).
Module.preRun = Module.preRun || [];
Module.preRun.push(function () {
  var files = Module.labDataFiles || [];
  addRunDependency('lab-data');
  labImagesFetched = Promise.all(files.map(labFetchImage));
  labImagesFetched.then(function (fetched) {
    // The program never starts on an incomplete site.
    if (fetched.some(function (file) { return file.refused; })) {
      if (Module.labEnded !== undefined) return;
      Module.labEnded = 1;
      return labSiteRefusals().then(function (refused) { labStop(labSiteIncomplete(refused), 'missing'); });
    }
    fetched.forEach(function (file) {
      var path = '';
      file.name.split('/').slice(0, -1).forEach(function (part) {
        path += '/' + part;
        try { FS.mkdir(path); } catch (e) { /* made already */ }
      });
      FS.writeFile('/' + file.name, new Uint8Array(file.bytes));
    });
    removeRunDependency('lab-data');
  });
});
