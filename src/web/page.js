// The page's drawing half of the browser build: the WebGL 2 context, the frame it draws and
// the textures it keeps (input.js has the events and the menus).
mergeInto(LibraryManager.library, {
  $LabPage: {
    frames: 0,            // frames handed to WebGL
    timing: false,        // the page's ?bench mode: the program's time a frame is kept
  },

  // The GPU side of the GL layer: one shader that transforms and lights as GL 1.1 does,
  // the meshes, the textures and the last frame. Each keeps what it was made from, so that
  // all of it can be made again when the context comes back after a loss.
  $LabGL__deps: ['$LabPage'],
  $LabGL: {
    gl: null,
    contextAttributes: { alpha: false, depth: true, stencil: false, antialias: false,
                         premultipliedAlpha: false, preserveDrawingBuffer: true },
    lost: false,          // since a loss, until the restored context has everything made again
    programs: null,       // by the lighting switches they are written for
    stream: null,         // the frame's own vertices and indices
    instanceBuffer: null, // the frame's mesh instances
    meshes: [null],       // by number: {vertices, indices, vao}
    textures: [null],     // by GL texture name: {texture, parameters, image}
    frame: null,          // the last frame handed over: drawn again on a restored context, or to replay
    passStart: 0,
    programTimes: [],     // under ?bench: ms from the start of each main-loop pass that drew to the end of its swap

    // The structs the program hands over (webgl.h) as it lays them out, by their C++ names:
    // 'sizeof WebState', 'offsetof WebState.ambient', 'sizeof WebState.ambient', 'WEB_CLEAR'.
    // The program gives them before the context (webglLayout); the page writes none of them.
    layout: {},
    WORD_BYTES: Int32Array.BYTES_PER_ELEMENT,  // the structs are read as 32-bit words
    VEC4_BYTES: 4 * Float32Array.BYTES_PER_ELEMENT,
    known: function (name) {
      if (!(name in LabGL.layout)) throw new Error('the program gave the page no ' + name);
      return LabGL.layout[name];
    },
    sizeOf: function (name) { return LabGL.known('sizeof ' + name); },
    offsetOf: function (name) { return LabGL.known('offsetof ' + name); },
    // A struct's size and the named fields' offsets, in words into an array of such structs.
    wordsOf: function (type, fields) {
      var words = { size: LabGL.sizeOf(type) / LabGL.WORD_BYTES };
      (fields || []).forEach(function (field) { words[field] = LabGL.offsetOf(type + '.' + field) / LabGL.WORD_BYTES; });
      return words;
    },
    // Where light i's field starts in a WebEnvironment, in bytes.
    lightOffset: function (i, field) {
      return LabGL.offsetOf('WebEnvironment.lights') + i * LabGL.sizeOf('WebLight') + LabGL.offsetOf('WebLight.' + field);
    },

    // The vertex shader's inputs at locations from 0, in this order, each named as its field:
    // a vertex's own (WebVertex, WebMeshVertex), then the state it is drawn with (WebState).
    // A matrix takes a location a column, its columns spread evenly over its field.
    inputs: [
      ['vertex', 'position', 'vec3'], ['vertex', 'normal', 'vec3'],
      ['state', 'modelview', 'mat4'], ['state', 'normalMatrix', 'mat3'], ['state', 'ambient', 'vec4'],
      ['state', 'diffuse', 'vec4'], ['state', 'emission', 'vec4'], ['state', 'texCoord', 'vec2'],
    ],
    // call(name, GLSL type, first location, columns, components a column) for each input from `from`, or all.
    eachInput: function (from, call) {
      var location = 0;
      LabGL.inputs.forEach(function (input) {
        var size = +input[2].slice(-1), columns = input[2].startsWith('mat') ? size : 1;
        if (!from || input[0] === from) call(input[1], input[2], location, columns, size);
        location += columns;
      });
    },
    // The bytes from one column of a field to the next; each must hold the shader's components.
    columnBytes: function (field, columns, size) {
      var bytes = LabGL.sizeOf(field) / columns;
      if (bytes < size * Float32Array.BYTES_PER_ELEMENT) throw new Error(field + ' is smaller than the shader\'s input');
      return bytes;
    },

    // GL's per-vertex lighting as the layer defines it (gl.cpp, currentState), written out
    // for one set of switches: SwiftShader pays dearly for a loop or branch in the shader.
    // The vertex goes to clip space as GL takes it there: through the projection times the
    // modelview, multiplied out with each product rounded before it is added, as a CPU
    // without fused multiply-add does (`one` is 1; multiplying by it keeps the compiler
    // from fusing a product into the sum). Edges and texel boundaries then fall on the same
    // pixels as the native program's, when both draw on the same renderer.
    // environment is the WebEnvironment as vec4s: the projection's columns, the model
    // ambient, the switches and the two lights.
    vertexShader: function (lit, lights, textured) {
      var environment = function (bytes) { return 'environment[' + bytes / LabGL.VEC4_BYTES + ']'; };
      var lightField = function (i, field) { return environment(LabGL.lightOffset(i, field)); };
      var source = '#version 300 es\n';
      LabGL.eachInput(null, function (name, type, location) {
        source += 'layout(location = ' + location + ') in ' + type + ' ' + name + ';\n';
      });
      source += 'uniform vec4 environment[' + LabGL.sizeOf('WebEnvironment') / LabGL.VEC4_BYTES + '];\n' +
        'uniform float one;\n' +
        'out vec4 vColour;\n' +
        (textured ? 'out vec2 vTexCoord;\n' : '') +
        'void main() {\n' +
        '  vec4 eye = modelview * vec4(position, 1.0);\n' +
        '  mat4 mvp;\n' +
        [0, 1, 2, 3].map(function (c) {
          return '  mvp[' + c + '] = ' + [0, 1, 2, 3].map(function (k) {
            return environment(LabGL.offsetOf('WebEnvironment.projection') + k * LabGL.VEC4_BYTES) +
              ' * modelview[' + c + '][' + k + '] * one';
          }).reduce(function (sum, term) { return '(' + sum + ' + ' + term + ')'; }) + ';\n';
        }).join('') +
        '  gl_Position = mvp * vec4(position, 1.0);\n' +
        (textured ? '  vTexCoord = texCoord;\n' : '');
      if (!lit) return source + '  vColour = vec4(1.0);\n}\n';
      source += '  vec3 n = normalMatrix * normal;\n' +
        '  vec3 colour = emission.rgb + ambient.rgb * ' + environment(LabGL.offsetOf('WebEnvironment.modelAmbient')) + '.rgb;\n';
      lights.forEach(function (light, i) {
        if (!light) return;  // off
        var p = lightField(i, 'position'), l = 'toLight' + i;
        source += '  vec3 ' + l + ' = ' + (light === 'positional' ? p + '.xyz / ' + p + '.w - eye.xyz / eye.w' : p + '.xyz') + ';\n' +
          '  float length' + i + ' = length(' + l + ');\n' +
          '  float facing' + i + ' = length' + i + ' > 0.0 ? max(0.0, dot(n, ' + l + ') / length' + i + ') : 0.0;\n' +
          '  colour += ambient.rgb * ' + lightField(i, 'ambient') + '.rgb + facing' + i + ' * diffuse.rgb * ' +
            lightField(i, 'diffuse') + '.rgb;\n';
      });
      return source + '  vColour = clamp(vec4(colour, diffuse.a), 0.0, 1.0);\n}\n';
    },
    // GL_MODULATE: the lit colour times the texel. An untextured draw has a shader of its own,
    // with no texture coordinate to interpolate and no texel to fetch.
    fragmentShader: function (textured) {
      return '#version 300 es\n' +
        'precision highp float;\n' +
        'in vec4 vColour;\n' +
        (textured ? 'in vec2 vTexCoord;\nuniform sampler2D image;\n' : '') +
        'out vec4 fragColour;\n' +
        'void main() { fragColour = ' + (textured ? 'vColour * texture(image, vTexCoord)' : 'vColour') + '; }\n';
    },

    // The program for a frame's environment, textured or not: made the first time its switches
    // are met. A light is positional when its position's w is not 0.
    program: function (f, environment, textured) {
      var e = f.environments, k = LabGL.wordsOf('WebEnvironment', ['switches']), at = environment * k.size;
      var lit = e[at + k.switches] !== 0, lights = [];
      for (var i = 0; i < 2; ++i) {
        var w = at + LabGL.lightOffset(i, 'position') / LabGL.WORD_BYTES + 3;
        lights.push(e[at + k.switches + 1 + i] === 0 ? null : e[w] !== 0 ? 'positional' : 'directional');
      }
      var key = (lit ? lights.join() : 'unlit') + (textured ? ' textured' : '');
      if (!LabGL.programs[key])
        LabGL.programs[key] = LabGL.makeProgram(LabGL.vertexShader(lit, lights, textured), LabGL.fragmentShader(textured));
      return LabGL.programs[key];
    },

    // A context lost on the way answers every question with null: the frame's draws then
    // use no program (calls on a lost context do nothing), and the restored one makes it again.
    makeProgram: function (vertexSource, fragmentSource) {
      var gl = LabGL.gl, none = { program: null, environment: null };
      var compile = function (type, source) {
        var s = gl.createShader(type);
        gl.shaderSource(s, source);
        gl.compileShader(s);
        if (!gl.getShaderParameter(s, gl.COMPILE_STATUS) && !gl.isContextLost()) throw new Error(gl.getShaderInfoLog(s));
        return s;
      };
      var program = gl.createProgram();
      gl.attachShader(program, compile(gl.VERTEX_SHADER, vertexSource));
      gl.attachShader(program, compile(gl.FRAGMENT_SHADER, fragmentSource));
      gl.linkProgram(program);
      if (!gl.getProgramParameter(program, gl.LINK_STATUS)) {
        if (gl.isContextLost()) return none;
        throw new Error(gl.getProgramInfoLog(program));
      }
      gl.useProgram(program);
      gl.uniform1f(gl.getUniformLocation(program, 'one'), 1);
      return { program: program, environment: gl.getUniformLocation(program, 'environment') };
    },

    // A vertex's own inputs from the bound buffer, an array of `type` (WebVertex or WebMeshVertex).
    pointVertices: function (type) {
      var gl = LabGL.gl;
      LabGL.eachInput('vertex', function (name, glslType, location, columns, size) {
        var field = type + '.' + name;
        LabGL.columnBytes(field, columns, size);
        gl.enableVertexAttribArray(location);
        gl.vertexAttribPointer(location, size, gl.FLOAT, false, LabGL.sizeOf(type), LabGL.offsetOf(field));
      });
    },

    // A WebState's attributes from the bound buffer at byte `base`: per vertex (divisor 0)
    // or per instance (1); without a divisor, only moved to `base`.
    pointState: function (stride, base, divisor) {
      var gl = LabGL.gl;
      var point = function (location, size, offset) {
        if (divisor !== undefined) {
          gl.enableVertexAttribArray(location);
          gl.vertexAttribDivisor(location, divisor);
        }
        gl.vertexAttribPointer(location, size, gl.FLOAT, false, stride, base + offset);
      };
      LabGL.eachInput('state', function (name, glslType, location, columns, size) {
        var field = 'WebState.' + name, columnBytes = LabGL.columnBytes(field, columns, size);
        for (var column = 0; column < columns; ++column)
          point(location + column, size, LabGL.offsetOf(field) + column * columnBytes);
      });
    },

    uploadMesh: function (mesh) {
      var gl = LabGL.gl;
      mesh.vao = gl.createVertexArray();
      gl.bindVertexArray(mesh.vao);
      gl.bindBuffer(gl.ARRAY_BUFFER, gl.createBuffer());
      gl.bufferData(gl.ARRAY_BUFFER, mesh.vertices, gl.STATIC_DRAW);
      LabGL.pointVertices('WebMeshVertex');
      gl.bindBuffer(gl.ELEMENT_ARRAY_BUFFER, gl.createBuffer());
      gl.bufferData(gl.ELEMENT_ARRAY_BUFFER, mesh.indices, gl.STATIC_DRAW);
      gl.bindBuffer(gl.ARRAY_BUFFER, LabGL.instanceBuffer);
      LabGL.pointState(LabGL.sizeOf('WebState'), 0, 1);
      gl.bindVertexArray(null);
    },

    uploadTexture: function (t) {
      var gl = LabGL.gl;
      t.texture = gl.createTexture();
      gl.bindTexture(gl.TEXTURE_2D, t.texture);
      for (var pname in t.parameters) gl.texParameteri(gl.TEXTURE_2D, +pname, t.parameters[pname]);
      if (!t.image) return;
      gl.texImage2D(gl.TEXTURE_2D, 0, gl.RGBA8, t.image.width, t.image.height, 0, gl.RGBA, gl.UNSIGNED_BYTE,
                    t.image.rgba);
      gl.generateMipmap(gl.TEXTURE_2D);
    },

    // Whether WebGL may be called: the context can be lost before the browser's event says
    // so, and from then on nothing is made or drawn until the restored event has made it all again.
    usable: function () {
      if (LabGL.gl.isContextLost()) LabGL.lost = true;
      return !LabGL.lost;
    },

    // Everything on the GPU, from what was handed over: at start-up and on a restored context.
    makeObjects: function () {
      var gl = LabGL.gl;
      if (!LabGL.usable()) return;
      LabGL.programs = {};
      LabGL.instanceBuffer = gl.createBuffer();
      LabGL.stream = { vao: gl.createVertexArray(), vertices: gl.createBuffer() };
      gl.bindVertexArray(LabGL.stream.vao);
      gl.bindBuffer(gl.ARRAY_BUFFER, LabGL.stream.vertices);
      LabGL.pointVertices('WebVertex');
      LabGL.pointState(LabGL.sizeOf('WebVertex'), LabGL.offsetOf('WebVertex.state'), 0);
      gl.bindBuffer(gl.ELEMENT_ARRAY_BUFFER, gl.createBuffer());
      gl.bindVertexArray(null);
      LabGL.meshes.forEach(function (m) { if (m) LabGL.uploadMesh(m); });
      LabGL.textures.forEach(function (t) { if (t) LabGL.uploadTexture(t); });
    },

    upload: function (f) {
      var gl = LabGL.gl;
      gl.bindVertexArray(LabGL.stream.vao);
      gl.bindBuffer(gl.ARRAY_BUFFER, LabGL.stream.vertices);
      gl.bufferData(gl.ARRAY_BUFFER, f.vertices, gl.STREAM_DRAW);
      gl.bufferData(gl.ELEMENT_ARRAY_BUFFER, f.indices, gl.STREAM_DRAW);
      gl.bindBuffer(gl.ARRAY_BUFFER, LabGL.instanceBuffer);
      gl.bufferData(gl.ARRAY_BUFFER, f.instances, gl.STREAM_DRAW);
    },

    // The frame's commands, from what upload put on the GPU; a state is set only when it changes.
    draw: function (f) {
      var gl = LabGL.gl, c = f.commands, colour = f.commandFloats, stream = LabGL.stream.vao;
      var vao = null, texture = -1, depth = -1, program = null, used = [];  // programs with their uniforms set this frame
      var k = LabGL.wordsOf('WebCommand', ['kind', 'mesh', 'first', 'count', 'texture', 'depthTest', 'environment',
                                           'viewport', 'clearMask', 'clearColour']);
      var viewport = LabGL.known('WEB_VIEWPORT'), clear = LabGL.known('WEB_CLEAR');
      var environmentWords = LabGL.wordsOf('WebEnvironment').size, stateBytes = LabGL.sizeOf('WebState');
      gl.bindBuffer(gl.ARRAY_BUFFER, LabGL.instanceBuffer);
      for (var i = 0; i < c.length; i += k.size) {
        if (c[i + k.kind] === viewport) {
          var v = i + k.viewport;
          gl.viewport(c[v], c[v + 1], c[v + 2], c[v + 3]);
          continue;
        }
        if (c[i + k.kind] === clear) {
          var rgba = i + k.clearColour;
          gl.clearColor(colour[rgba], colour[rgba + 1], colour[rgba + 2], colour[rgba + 3]);
          gl.clear(c[i + k.clearMask]);  // GL's and WebGL's buffer bits agree
          continue;
        }
        var mesh = c[i + k.mesh], first = c[i + k.first], count = c[i + k.count];
        if (c[i + k.depthTest] !== depth) {
          depth = c[i + k.depthTest];
          if (depth) gl.enable(gl.DEPTH_TEST); else gl.disable(gl.DEPTH_TEST);
        }
        var p = LabGL.program(f, c[i + k.environment], c[i + k.texture] !== 0);
        if (p !== program) {
          gl.useProgram((program = p).program);
          if (!used.includes(p)) used.push(p), (p.environment_ = -1);
        }
        if (c[i + k.environment] !== p.environment_) {
          var e = (p.environment_ = c[i + k.environment]) * environmentWords;
          gl.uniform4fv(p.environment, f.environments.subarray(e, e + environmentWords));
        }
        if (c[i + k.texture] && c[i + k.texture] !== texture) {
          texture = c[i + k.texture];
          gl.bindTexture(gl.TEXTURE_2D, (LabGL.textures[texture] || {}).texture || null);
        }
        var m = mesh ? LabGL.meshes[mesh] : null;
        if (mesh && !m) continue;
        var wanted = m ? m.vao : stream;
        if (wanted !== vao) gl.bindVertexArray(vao = wanted);
        if (!m) {
          gl.drawElements(gl.TRIANGLES, count, gl.UNSIGNED_INT, first * Uint32Array.BYTES_PER_ELEMENT);
        } else {
          LabGL.pointState(stateBytes, first * stateBytes);
          gl.drawElementsInstanced(gl.TRIANGLES, m.indices.length, gl.UNSIGNED_INT, 0, count);
        }
      }
      gl.bindVertexArray(null);
    },

    // The frame drawn again from what is on the GPU, `wanted` times over animation frames.
    replay: function (bench) {
      var drawn = 0, start = 0;
      var step = function () {
        if (LabGL.usable()) LabGL.draw(LabGL.frame);
        if (++drawn === 1) start = performance.now();
        if (drawn < bench.wanted) requestAnimationFrame(step);
        else LabGL.benchDone(bench, performance.now() - start);
      };
      requestAnimationFrame(step);
    },

    // The bench's result, in Module.labBench and on the page; the program's median time a
    // frame when it drew them.
    benchDone: function (bench, ms, programTimes) {
      var frames = bench.wanted - 1, seconds = ms / 1000;
      var result = Module.labBench = { frames: frames, seconds: seconds, ms_per_frame: ms / frames,
                                       fps: frames / seconds, replay: bench.replay };
      if (programTimes) {
        var sorted = programTimes.slice().sort(function (a, b) { return a - b; });
        result.program_ms = sorted[Math.floor(sorted.length / 2)];
      }
      var message = document.getElementById('message');
      if (message) message.textContent = frames + ' frames in ' + seconds.toFixed(2) + ' s: ' +
        result.ms_per_frame.toFixed(1) + ' ms a frame, ' + result.fps.toFixed(2) + ' frames per second';
    },
  },

  // One entry of the program's layout table (webgl.h's WEB_LAYOUT).
  webglLayout__deps: ['$LabGL'],
  webglLayout: function (name, value) {
    LabGL.layout[UTF8ToString(name)] = value;
  },

  webglCreateContext__deps: ['$LabPage', '$LabGL'],
  webglCreateContext: function (width, height) {
    var canvas = Module.canvas || document.getElementById('lab');
    canvas.width = width;
    canvas.height = height;
    var gl = canvas.getContext('webgl2', LabGL.contextAttributes);
    if (!gl) throw new Error('this browser gives no WebGL 2 context');
    LabGL.gl = gl;
    // A lost context draws nothing until it is back; then all is made again and the last
    // frame drawn (in the viewport it opens with), the program's state (the camera too) untouched.
    canvas.addEventListener('webglcontextlost', function (e) {
      e.preventDefault();
      LabGL.lost = true;
    });
    canvas.addEventListener('webglcontextrestored', function () {
      LabGL.lost = false;
      LabGL.makeObjects();
      if (!LabGL.frame || !LabGL.usable()) return;
      LabGL.upload(LabGL.frame);
      LabGL.draw(LabGL.frame);
    });
    LabGL.makeObjects();
    Module.labFrameCount = function () { return LabPage.frames; };
    Module.labProgramTimes = function () { return LabGL.programTimes.slice(); };
    return 1;
  },

  webglCreateMesh__deps: ['$LabGL'],
  webglCreateMesh: function (mesh, vertices, vertexCount, indices, indexCount) {
    var m = {
      vertices: HEAPU8.slice(vertices, vertices + vertexCount * LabGL.sizeOf('WebMeshVertex')),
      indices: HEAPU32.slice(indices >> 2, (indices >> 2) + indexCount),
    };
    LabGL.meshes[mesh] = m;
    if (LabGL.usable()) LabGL.uploadMesh(m);
  },

  webglSubmitFrame__deps: ['$LabPage', '$LabGL'],
  webglSubmitFrame: function (vertices, vertexCount, indices, indexCount, instances, instanceCount,
                              environments, environmentCount, commands, commandCount) {
    var f = {
      vertices: HEAPU8.slice(vertices, vertices + vertexCount * LabGL.sizeOf('WebVertex')),
      indices: HEAPU32.slice(indices >> 2, (indices >> 2) + indexCount),
      instances: HEAPU8.slice(instances, instances + instanceCount * LabGL.sizeOf('WebState')),
      environments: HEAPF32.slice(environments >> 2, (environments >> 2) + environmentCount * LabGL.wordsOf('WebEnvironment').size),
      commands: HEAP32.slice(commands >> 2, (commands >> 2) + commandCount * LabGL.wordsOf('WebCommand').size),
    };
    f.commandFloats = new Float32Array(f.commands.buffer);
    LabGL.frame = f;
    if (LabGL.usable()) {
      LabGL.upload(f);
      LabGL.draw(f);
    }
    if (++LabPage.frames === 1 && Module.labFirstFrame) Module.labFirstFrame();
    if (LabGL.passStart) {
      LabGL.programTimes.push(performance.now() - LabGL.passStart);
      if (LabGL.programTimes.length > 10000) LabGL.programTimes.shift();
      LabGL.passStart = 0;
    }
  },

  webPassBegan__deps: ['$LabPage', '$LabGL'],
  webPassBegan: function () { if (LabPage.timing) LabGL.passStart = performance.now(); },

  webglCreateTexture__deps: ['$LabGL'],
  webglCreateTexture: function () {
    var t = { texture: null, parameters: {}, image: null };
    if (LabGL.usable()) t.texture = LabGL.gl.createTexture();
    LabGL.textures.push(t);
    return LabGL.textures.length - 1;
  },

  // Parameter names and values are GL's, which WebGL shares.
  webglTexParameter__deps: ['$LabGL'],
  webglTexParameter: function (texture, pname, value) {
    var t = LabGL.textures[texture], gl = LabGL.gl;
    if (!t) return;
    t.parameters[pname] = value;
    if (!LabGL.usable()) return;
    gl.bindTexture(gl.TEXTURE_2D, t.texture);
    gl.texParameteri(gl.TEXTURE_2D, pname, value);
  },

  webglTexImage__deps: ['$LabGL'],
  webglTexImage: function (texture, width, height, rgba) {
    var t = LabGL.textures[texture];
    if (!t) return;
    t.image = { width: width, height: height, rgba: HEAPU8.slice(rgba, rgba + width * height * 4) };
    if (!LabGL.usable()) return;
    LabGL.gl.deleteTexture(t.texture);
    LabGL.uploadTexture(t);
  },

  // ?bench=N: N frames drawn back to back at the starting pose, timed from the end of the
  // first to the end of the last; the result lands in Module.labBench and on the page.
  // With &replay, the program draws one frame and the page draws it again N times from
  // what is on the GPU, with no program work: the GPU's own cost of the frame.
  // Any ?bench (a bare one too, which draws as a visitor's page does) keeps the program's
  // time a frame in Module.labProgramTimes(); a visitor's page keeps none.
  webBenchFrames__deps: ['$LabPage'],
  webBenchFrames: function () {
    var query = new URLSearchParams(location.search), n = parseInt(query.get('bench'), 10);
    LabPage.timing = query.has('bench');
    LabPage.bench = n > 1 ? { wanted: n, drawn: 0, start: 0, replay: query.has('replay') } : null;
    if (!LabPage.bench) return 0;
    return LabPage.bench.replay ? 1 : n;
  },

  webBenchFrameDrawn__deps: ['$LabPage', '$LabGL'],
  webBenchFrameDrawn: function () {
    var bench = LabPage.bench;
    if (bench.replay) {
      LabGL.replay(bench);
      return;
    }
    if (++bench.drawn === 1) bench.start = performance.now();
    if (bench.drawn < bench.wanted) return;
    LabGL.benchDone(bench, performance.now() - bench.start, LabGL.programTimes.slice(1 - bench.wanted));
  },
});
