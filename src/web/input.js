// The page's input half of the browser build: the canvas's size in device pixels, its mouse,
// touch and key events, the key buttons under it, and GLUT's menus as HTML menus that open
// from the right button, a long press or the keyboard.
mergeInto(LibraryManager.library, {
  $LabInput__deps: ['$Asyncify'],
  $LabInput: {
    canvas: null,
    menus: {},            // GLUT menu number -> [{label, value} or {label, submenu}]
    attached: {},         // button -> menu number
    openMenus: [],        // the open levels, outermost first
    dragging: null,       // the pointer whose movements are motion events
    press: null,          // a touch not yet known as a drag or a long press
    pointerX: 0,
    pointerY: 0,

    MENU_BUTTON: 2,       // GLUT_RIGHT_BUTTON: a long press and the keyboard open its menu
    LONG_PRESS_MS: 500,
    LONG_PRESS_SLOP: 6,   // CSS pixels a finger may wander and still be pressing, not dragging

    // Calls into the program unless it has ended; the exception an exit() throws stops here.
    // While a pass of the loop has yielded to the browser (slices.h), the program is in the
    // middle of it: calls wait, in order, for the next one made after it.
    waiting: [],
    call: function (f) {
      if (Module.labEnded !== undefined) return;
      if (Asyncify.currData) return void LabInput.waiting.push(f);
      try {
        while (LabInput.waiting.length && Module.labEnded === undefined && !Asyncify.currData) LabInput.waiting.shift()();
        if (Module.labEnded === undefined) Asyncify.currData ? LabInput.waiting.push(f) : f();
      } catch (e) { if (Module.labEnded === undefined) throw e; }
    },

    // Client position -> drawing-buffer pixel, which is what the lab's window coordinates are.
    canvasPoint: function (e) {
      var rect = LabInput.canvas.getBoundingClientRect();
      var sx = rect.width ? LabInput.canvas.width / rect.width : 1;
      var sy = rect.height ? LabInput.canvas.height / rect.height : 1;
      return [Math.floor((e.clientX - rect.left) * sx), Math.floor((e.clientY - rect.top) * sy)];
    },

    motion: function (events) {
      events.forEach(function (ev) {
        var p = LabInput.canvasPoint(ev);
        LabInput.call(function () { Module['_webMotion'](p[0], p[1]); });
      });
    },

    key: function (key) {
      LabInput.call(function () { Module['_webKey'](key, LabInput.pointerX, LabInput.pointerY); });
    },

    // The buffer follows the laid-out size times the pixel ratio, so dense screens get a sharp
    // picture; at a ratio of 1 the 500-pixel canvas keeps a 500-pixel buffer.
    canvasSide: function (side) {
      var c = LabInput.canvas;
      var px = Math.round(c.getBoundingClientRect()[side] * (window.devicePixelRatio || 1));
      if (px && px !== c[side]) c[side] = px;
      return c[side];
    },

    closeMenus: function (from) {
      while (LabInput.openMenus.length > from) LabInput.openMenus.pop().remove();
    },

    // Back to the canvas, so that keys and the menu key work on from there.
    closeAllMenus: function () {
      LabInput.closeMenus(0);
      LabInput.canvas.focus({ preventScroll: true });
    },

    // Inside the viewport: to the left of `leftOf` when there is no room on the right.
    place: function (box, x, y, leftOf) {
      var view = document.documentElement, w = box.offsetWidth, h = box.offsetHeight;
      var right = window.scrollX + view.clientWidth, bottom = window.scrollY + view.clientHeight;
      if (x + w > right && leftOf !== undefined) x = leftOf - w;
      box.style.left = Math.max(window.scrollX, Math.min(x, right - w)) + 'px';
      box.style.top = Math.max(window.scrollY, Math.min(y, bottom - h)) + 'px';
    },

    // One level of the menu at page position (x, y); entries pick, submenus open on hover or
    // click. A menu opened by touch has finger-sized entries, and so have its submenus.
    openMenu: function (menu, x, y, level, touch, leftOf) {
      LabInput.closeMenus(level);
      var box = document.createElement('div');
      box.className = touch ? 'glut-menu touch' : 'glut-menu';
      box.setAttribute('role', 'menu');
      box.dataset.menu = menu;
      (LabInput.menus[menu] || []).forEach(function (item) {
        var row = document.createElement('div');
        row.textContent = item.label;
        row.tabIndex = -1;
        row.setAttribute('role', 'menuitem');
        row.addEventListener('mouseenter', function () { row.focus({ preventScroll: true }); });
        if (item.submenu) {
          row.className = 'glut-submenu';
          row.dataset.submenu = item.submenu;
          row.setAttribute('aria-haspopup', 'menu');
          row.open = function () {
            var r = row.getBoundingClientRect();
            return LabInput.openMenu(item.submenu, r.right + window.scrollX, r.top + window.scrollY,
                                     level + 1, touch, r.left + window.scrollX);
          };
          row.addEventListener('mouseenter', row.open);
          row.addEventListener('click', row.open);
        } else {
          row.className = 'glut-entry';
          row.dataset.value = item.value;
          row.addEventListener('mouseenter', function () { LabInput.closeMenus(level + 1); });
          row.addEventListener('click', function () {
            LabInput.closeAllMenus();
            LabInput.call(function () { Module['_webMenuPick'](menu, item.value); });
          });
        }
        box.appendChild(row);
      });
      LabInput.canvas.parentNode.appendChild(box);  // beside the canvas, in the page's landmark with it
      LabInput.place(box, x, y, leftOf);
      LabInput.openMenus.push(box);
      return box;
    },

    openAttachedMenu: function (x, y, touch) {
      var menu = LabInput.attached[LabInput.MENU_BUTTON];
      return menu === undefined ? null : LabInput.openMenu(menu, x, y, 0, touch);
    },

    // A menu's keys, as web menus take them; false for keys the menu leaves alone.
    menuKey: function (e) {
      var focused = document.activeElement;
      var box = focused && focused.parentNode && focused.parentNode.classList &&
                focused.parentNode.classList.contains('glut-menu') ? focused.parentNode : null;
      var level = box ? LabInput.openMenus.indexOf(box) : LabInput.openMenus.length - 1;
      var rows = Array.prototype.slice.call(LabInput.openMenus[level].children);
      var at = box ? rows.indexOf(focused) : -1;
      var step = { ArrowDown: 1, ArrowUp: -1 }[e.key];
      if (step) {
        rows[at < 0 ? (step > 0 ? 0 : rows.length - 1) : (at + step + rows.length) % rows.length].focus();
      } else if (e.key === 'Escape') {
        LabInput.closeAllMenus();
      } else if (e.key === 'ArrowLeft' && level > 0) {
        var parent = LabInput.openMenus[level - 1].querySelector('[data-submenu="' + LabInput.openMenus[level].dataset.menu + '"]');
        LabInput.closeMenus(level);
        parent.focus();
      } else if (at >= 0 && rows[at].open && (e.key === 'ArrowRight' || e.key === 'Enter' || e.key === ' ')) {
        rows[at].open().firstChild.focus();
      } else if (at >= 0 && (e.key === 'Enter' || e.key === ' ')) {
        rows[at].click();
      } else {
        return false;
      }
      return true;
    },

    keyCode: function (e) {
      var special = { Enter: 13, Backspace: 8, Tab: 9, Escape: 27, Delete: 127 };
      var key = e.key.length === 1 ? e.key.charCodeAt(0) : special[e.key];
      return key > 255 ? undefined : key;
    },

    // A key held with Ctrl, Alt or Meta is the browser's shortcut, left to it untouched, as
    // is every key once the lab has ended; Shift only makes another character.
    onKeyDown: function (e) {
      if (e.ctrlKey || e.altKey || e.metaKey || Module.labEnded !== undefined) return;
      if (LabInput.openMenus.length && LabInput.menuKey(e)) {
        e.preventDefault();
        return;
      }
      if (e.target === LabInput.canvas && (e.key === 'ContextMenu' || (e.key === 'F10' && e.shiftKey))) {
        e.preventDefault();
        var r = LabInput.canvas.getBoundingClientRect();
        var box = LabInput.openAttachedMenu(r.left + window.scrollX, r.top + window.scrollY, false);
        if (box) box.firstChild.focus();
        return;
      }
      // Enter and space on a button press it; every other key is the lab's, wherever it is typed.
      if (e.target.tagName === 'BUTTON' && (e.key === 'Enter' || e.key === ' ')) return;
      var key = LabInput.keyCode(e);
      if (key === undefined) return;
      if (e.key !== 'Tab') e.preventDefault();  // Tab still moves on to the buttons
      LabInput.key(key);
    },

    // A touch is held back until it is known: moving further than the slop makes it a drag
    // (its movements so far included), lifting it early a short drag, and holding it still
    // for the long-press time opens the menu at the finger.
    touchDown: function (e) {
      LabInput.closeMenus(0);
      var press = { id: e.pointerId, x: e.clientX, y: e.clientY, moves: [] };
      press.timer = setTimeout(function () {
        LabInput.press = LabInput.dragging = null;
        LabInput.openAttachedMenu(press.x + window.scrollX, press.y + window.scrollY, true);
      }, LabInput.LONG_PRESS_MS);
      LabInput.press = press;
      LabInput.dragging = e.pointerId;
    },

    touchKnown: function (asDrag) {
      var press = LabInput.press;
      clearTimeout(press.timer);
      LabInput.press = null;
      if (asDrag) LabInput.motion(press.moves);
    },

    listen: function () {
      var canvas = LabInput.canvas;
      var inMenu = function (target) { return target.closest && target.closest('.glut-menu'); };
      // The browser's own menu neither on the canvas nor over the lab's (the menu key and a
      // long press send one after the lab's has opened).
      document.addEventListener('contextmenu', function (e) {
        if (e.target === canvas || inMenu(e.target)) e.preventDefault();
      });
      canvas.addEventListener('pointerdown', function (e) {
        canvas.focus({ preventScroll: true });
        if (e.pointerType === 'touch') {
          if (e.isPrimary) LabInput.touchDown(e);  // a second finger is no button of its own
          return;
        }
        var menu = LabInput.attached[e.button];
        if (menu !== undefined) {
          e.preventDefault();
          LabInput.openMenu(menu, e.pageX, e.pageY, 0, false);
          return;
        }
        LabInput.closeMenus(0);
        if (e.button === 0 || e.button === 1) {
          e.preventDefault();  // no autoscroll on the middle button
          LabInput.dragging = e.pointerId;
          canvas.setPointerCapture(e.pointerId);
        }
      });
      var release = function (e) {
        if (e.pointerId !== LabInput.dragging) return;
        if (LabInput.press) LabInput.touchKnown(e.type === 'pointerup');
        LabInput.dragging = null;
      };
      canvas.addEventListener('pointerup', release);
      canvas.addEventListener('pointercancel', release);
      // Every movement the browser saw, coalesced ones included, is one motion event.
      canvas.addEventListener('pointermove', function (e) {
        var events = e.getCoalescedEvents ? e.getCoalescedEvents() : [];
        if (!events.length) events = [e];
        var last = LabInput.canvasPoint(events[events.length - 1]);
        LabInput.pointerX = last[0];
        LabInput.pointerY = last[1];
        if (e.pointerId !== LabInput.dragging || LabInput.openMenus.length) return;
        var press = LabInput.press;
        if (press) {
          press.moves = press.moves.concat(events);
          if (Math.hypot(e.clientX - press.x, e.clientY - press.y) > LabInput.LONG_PRESS_SLOP) LabInput.touchKnown(true);
          return;
        }
        LabInput.motion(events);
      });
      document.addEventListener('pointerdown', function (e) {
        if (e.target !== canvas && !inMenu(e.target)) LabInput.closeMenus(0);
      });
      document.addEventListener('keydown', LabInput.onKeyDown);
      // The buttons under the canvas type their key, as the keyboard does.
      document.querySelectorAll('button[data-key]').forEach(function (button) {
        button.addEventListener('click', function () { LabInput.key(button.dataset.key.charCodeAt(0)); });
      });
      LabInput.offerFullScreen(canvas.closest('main'), document.getElementById('fullscreen'));
    },

    // Full screen, the lab with its controls, where the browser and the page's embedder allow
    // it (a frame needs allow="fullscreen"); elsewhere the button stays hidden.
    offerFullScreen: function (main, button) {
      if (!main || !button || !document.fullscreenEnabled) return;
      button.hidden = false;
      button.addEventListener('click', function () {
        if (document.fullscreenElement) return void document.exitFullscreen();
        main.requestFullscreen().then(function () { LabInput.canvas.focus({ preventScroll: true }); }, function () {});
      });
      document.addEventListener('fullscreenchange', function () {
        button.textContent = document.fullscreenElement ? 'Leave full screen' : 'Full screen';
      });
    },
  },

  // GLUT's loop: one pass an animation frame, called in as events are, while the lab runs.
  webMainLoop__deps: ['$LabInput'],
  webMainLoop: function () {
    var pass = function () {
      LabInput.call(function () { Module['_webLoopPass'](); });
      if (Module.labEnded === undefined) requestAnimationFrame(pass);
    };
    requestAnimationFrame(pass);
  },

  // The pass goes on in a task the page posts itself: emscripten's timer (emscripten_sleep)
  // would end the runtime after it, since the page's loop is not emscripten's, and timers
  // nested this deep wait 4 ms each. An exit() in the rest of the pass has ended the lab already.
  webYield__deps: ['$Asyncify'],
  webYield__sig: 'v',
  webYield: function () {
    Asyncify.handleSleep(function (wakeUp) {
      var channel = new MessageChannel();
      channel.port1.onmessage = function () {
        try { wakeUp(); } catch (e) { if (Module.labEnded === undefined) throw e; }
      };
      channel.port2.postMessage(null);
    });
  },

  webPageSetup__deps: ['$LabInput'],
  webPageSetup: function (title) {
    document.title = UTF8ToString(title);
    LabInput.canvas = Module.canvas || document.getElementById('lab');
    LabInput.listen();
  },

  // The canvas follows the size the page lays it out at, which clears it when the size
  // changes (as any new canvas size does); the change reaches the reshape callback, which redraws.
  webResizeAndClearCanvasWidth__deps: ['$LabInput'],
  webResizeAndClearCanvasWidth: function () { return LabInput.canvasSide('width'); },

  webResizeAndClearCanvasHeight__deps: ['$LabInput'],
  webResizeAndClearCanvasHeight: function () { return LabInput.canvasSide('height'); },

  webMenuCreate__deps: ['$LabInput'],
  webMenuCreate: function (menu) { LabInput.menus[menu] = []; },

  webMenuAddEntry__deps: ['$LabInput'],
  webMenuAddEntry: function (menu, label, value) {
    LabInput.menus[menu].push({ label: UTF8ToString(label), value: value });
  },

  webMenuAddSubMenu__deps: ['$LabInput'],
  webMenuAddSubMenu: function (menu, label, submenu) {
    LabInput.menus[menu].push({ label: UTF8ToString(label), submenu: submenu });
  },

  webMenuAttach__deps: ['$LabInput'],
  webMenuAttach: function (menu, button) { LabInput.attached[button] = menu; },
});
