#include "platform/gtk/ClientArea.h"

#include <algorithm>
#include <vector>

namespace poremisu {

namespace {

// Far enough left that no screen shows it.
constexpr int kOutOfSight = -20000;

struct Child {
    GtkWidget* widget;
    GdkRectangle rect;
};

struct Private {
    GtkWidget* bar = nullptr;
    std::vector<Child> children;
    std::function<void(int, int)> hook;
    bool allocating = false;
};

}  // namespace

extern "C" {

struct PoremisuClientArea {
    GtkContainer parent;
    Private* priv;
};

struct PoremisuClientAreaClass {
    GtkContainerClass parentClass;
};

static void poremisu_client_area_init(PoremisuClientArea* self);
static void poremisu_client_area_class_init(PoremisuClientAreaClass* klass);
G_DEFINE_TYPE(PoremisuClientArea, poremisu_client_area, GTK_TYPE_CONTAINER)

}  // extern "C"

namespace {

Private* PrivateOf(gpointer area) { return reinterpret_cast<PoremisuClientArea*>(area)->priv; }

Child* FindChild(Private* p, GtkWidget* widget) {
    for (Child& child : p->children) {
        if (child.widget == widget) return &child;
    }
    return nullptr;
}

int BarHeight(Private* p, int width) {
    if (!p->bar || !gtk_widget_get_visible(p->bar)) return 0;
    int minimum = 0, natural = 0;
    gtk_widget_get_preferred_height_for_width(p->bar, std::max(width, 1), &minimum, &natural);
    return natural;
}

void Finalize(GObject* object) {
    delete PrivateOf(object);
    G_OBJECT_CLASS(poremisu_client_area_parent_class)->finalize(object);
}

void Add(GtkContainer* container, GtkWidget* widget) {
    PrivateOf(container)->children.push_back({widget, {0, 0, 0, 0}});
    gtk_widget_set_parent(widget, GTK_WIDGET(container));
}

void Remove(GtkContainer* container, GtkWidget* widget) {
    Private* p = PrivateOf(container);
    if (p->bar == widget) {
        p->bar = nullptr;
    } else {
        std::erase_if(p->children, [widget](const Child& c) { return c.widget == widget; });
    }
    bool wasVisible = gtk_widget_get_visible(widget);
    gtk_widget_unparent(widget);
    if (wasVisible) gtk_widget_queue_resize(GTK_WIDGET(container));
}

void Forall(GtkContainer* container, gboolean, GtkCallback callback, gpointer data) {
    Private* p = PrivateOf(container);
    // The callback may remove children (destruction does): walk a copy.
    std::vector<GtkWidget*> widgets;
    if (p->bar) widgets.push_back(p->bar);
    for (const Child& child : p->children) widgets.push_back(child.widget);
    for (GtkWidget* widget : widgets) callback(widget, data);
}

void PreferredTiny(GtkWidget*, int* minimum, int* natural) {
    *minimum = 1;
    *natural = 1;
}

void AllocateChild(GtkWidget* widget, int x, int y, int width, int height) {
    GtkRequisition minimum;
    gtk_widget_get_preferred_size(widget, &minimum, nullptr);
    if (width <= 0 || height <= 0) {
        x = kOutOfSight;
        y = kOutOfSight;
    }
    // Below its minimum a widget draws outside its box and complains; the
    // rectangles the layout gives are never that small in practice.
    GtkAllocation allocation{x, y, std::max(width, minimum.width), std::max(height, minimum.height)};
    gtk_widget_size_allocate(widget, &allocation);
}

void SizeAllocate(GtkWidget* widget, GtkAllocation* allocation) {
    gtk_widget_set_allocation(widget, allocation);
    Private* p = PrivateOf(widget);
    int barHeight = BarHeight(p, allocation->width);
    if (barHeight > 0) {
        AllocateChild(p->bar, allocation->x, allocation->y, allocation->width, barHeight);
    }
    if (p->hook) {
        p->allocating = true;
        p->hook(allocation->width, std::max(allocation->height - barHeight, 0));
        p->allocating = false;
    }
    for (const Child& child : p->children) {
        if (!gtk_widget_get_visible(child.widget)) continue;
        AllocateChild(child.widget, allocation->x + child.rect.x, allocation->y + barHeight + child.rect.y,
                      child.rect.width, child.rect.height);
    }
}

}  // namespace

extern "C" {

static void poremisu_client_area_init(PoremisuClientArea* self) {
    self->priv = new Private;
    gtk_widget_set_has_window(GTK_WIDGET(self), FALSE);
}

static void poremisu_client_area_class_init(PoremisuClientAreaClass* klass) {
    G_OBJECT_CLASS(klass)->finalize = Finalize;
    GtkWidgetClass* widgetClass = GTK_WIDGET_CLASS(klass);
    widgetClass->get_preferred_width = PreferredTiny;
    widgetClass->get_preferred_height = PreferredTiny;
    widgetClass->size_allocate = SizeAllocate;
    GtkContainerClass* containerClass = GTK_CONTAINER_CLASS(klass);
    containerClass->add = Add;
    containerClass->remove = Remove;
    containerClass->forall = Forall;
}

}  // extern "C"

GtkWidget* ClientAreaNew() {
    return GTK_WIDGET(g_object_new(poremisu_client_area_get_type(), nullptr));
}

void ClientAreaSetBar(GtkWidget* area, GtkWidget* bar) {
    Private* p = PrivateOf(area);
    if (p->bar) gtk_widget_destroy(p->bar);  // removes it through Remove
    if (bar) {
        p->bar = bar;
        gtk_widget_set_parent(bar, area);
    }
    gtk_widget_queue_resize(area);
}

GtkWidget* ClientAreaBar(GtkWidget* area) { return PrivateOf(area)->bar; }

void ClientAreaAdd(GtkWidget* area, GtkWidget* child) { gtk_container_add(GTK_CONTAINER(area), child); }

void ClientAreaPlace(GtkWidget* area, GtkWidget* child, GdkRectangle rect) {
    Private* p = PrivateOf(area);
    Child* found = FindChild(p, child);
    if (!found) return;
    found->rect = rect;
    // Inside an allocation the children are placed right after the hook.
    if (!p->allocating) gtk_widget_queue_allocate(area);
}

void ClientAreaContentSize(GtkWidget* area, int& width, int& height) {
    GtkAllocation allocation;
    gtk_widget_get_allocation(area, &allocation);
    width = allocation.width;
    height = std::max(allocation.height - BarHeight(PrivateOf(area), allocation.width), 0);
}

void ClientAreaSetSizeHook(GtkWidget* area, std::function<void(int, int)> hook) {
    PrivateOf(area)->hook = std::move(hook);
}

}  // namespace poremisu
